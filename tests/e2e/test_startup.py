"""The program starts under Wine, shows its main window with the clock
panel's controls, and ends when its window is asked to close."""

import os
import unittest

import harness


class StartupTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = harness.PageServer()
        cls.tavrel = harness.Tavrel("startup")
        cls.tavrel.set_hosts(cls.server.base_url)
        cls.tavrel.start()
        cls.tavrel.wait_window()

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()
        cls.server.stop()

    def test_0_the_hosts_point_at_the_local_server(self):
        for value in harness.HOST_VALUES:
            self.assertEqual(self.tavrel.reg_query(harness.HOSTS_KEY, value), self.server.base_url)
        self.assertIsNone(self.tavrel.reg_query(harness.HOSTS_KEY, "NoSuchValue"))

    def test_1_the_clock_panel_shows_its_controls(self):
        self.assertEqual(self.tavrel.text("cmdTimeSync"), "&Get  Atomic  Time")
        self.assertTrue(self.tavrel.visible("cmdTimeSync"))
        self.assertEqual(self.tavrel.text("cmdExit"), "&Exit")

    def test_2_the_error_label_waits_hidden(self):
        self.assertEqual(self.tavrel.text("lblError"), "Error log")
        self.assertFalse(self.tavrel.visible("lblError"))

    def test_3_every_control_is_a_window_with_its_id(self):
        ids = {row[0] for row in self.tavrel.controls()}
        for name in ("IDC_cmdTimeSync", "IDC_cmdExit", "IDC_lblError", "IDC_ErrorIndicator"):
            self.assertIn(self.tavrel.id(name), ids, name)

    def test_4_a_screenshot_can_be_taken(self):
        path = self.tavrel.screenshot("main-window")
        self.assertTrue(os.path.exists(path), path)
        self.assertGreater(os.path.getsize(path), 0)

    def test_5_closing_the_window_ends_the_process(self):
        self.tavrel.close()
        self.assertIsNotNone(self.tavrel.wait_exit(30), "the program still runs 30 s after WM_CLOSE")
        self.assertEqual(self.tavrel.driver("wait-gone", 5000), "gone")


if __name__ == "__main__":
    unittest.main()
