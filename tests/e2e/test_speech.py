"""The voice under Wine, which has a speech object but no voice that speaks
and no sound card: started with the voice option stored as on, the program
comes up and answers, logs what could not be said instead of hanging on it,
and still closes within a few seconds after its farewell."""

import unittest

import harness

SETTINGS_KEY = r"HKEY_CURRENT_USER\Software\VRN Program Settings\VRN\Tavrel\%s\Settings"


class VoiceOnTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = harness.PageServer()
        cls.tavrel = harness.Tavrel("speech")
        cls.tavrel.set_hosts(cls.server.base_url)
        code, out = cls.tavrel.wine.run(["wine", "cmd", "/c", "echo", "%USERNAME%"], tag="username")
        user = out.strip().splitlines()[-1].strip().upper() if code == 0 and out.strip() else ""
        if not user:
            raise AssertionError("no Wine user name: %r" % out)
        cls.settings = SETTINGS_KEY % user
        cls.tavrel.reg_add(cls.settings, "chkVoice", "1")
        cls.tavrel.reg_add(cls.settings, "VoicePeriode", "6")
        cls.tavrel.start()
        cls.tavrel.wait_window()

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()
        cls.server.stop()
        # The prefix is shared with the tests that follow: they start with
        # the voice off, as a new user does.
        cls.tavrel.reg_add(cls.settings, "chkVoice", "0")
        cls.tavrel.reg_add(cls.settings, "VoicePeriode", "0")

    def log(self):
        return (self.tavrel.read_file("Common", "error.log") or b"").decode("latin-1")

    def test_0_the_option_came_back_ticked_and_the_window_answers(self):
        self.assertEqual(self.tavrel.check("chkVoice"), 1)
        self.assertEqual(self.tavrel.text("Combo1"), "2")
        self.assertEqual(self.tavrel.text("cmdExit"), "&Exit")
        self.assertIsNone(self.tavrel.message_box(500), "a message box waits for an answer")

    def test_1_what_could_not_be_said_is_in_the_error_log(self):
        log = self.log()
        self.assertIn("chkVoice_Click of Formular FrmMain  10  ", log)
        self.assertIn("Form_Load of Formular FrmMain  40  ", log)

    def test_2_switching_the_voice_off_is_answered_at_once(self):
        self.tavrel.click("chkVoice")
        self.assertEqual(self.tavrel.check("chkVoice"), 0)
        self.tavrel.click("chkVoice")
        self.assertEqual(self.tavrel.check("chkVoice"), 1)
        self.assertEqual(self.tavrel.text("cmdExit"), "&Exit")
        self.assertGreaterEqual(self.log().count("chkVoice_Click of Formular FrmMain"), 3)

    def test_3_the_farewell_does_not_hold_the_close_up(self):
        self.tavrel.close()
        self.assertIsNotNone(self.tavrel.wait_exit(15), "the program still runs 15 s after WM_CLOSE")


if __name__ == "__main__":
    unittest.main()
