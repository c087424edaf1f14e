// The HTTP service against a small server on 127.0.0.1 inside the test:
// bodies, status codes, refused connections, the size cap, no caching, and
// a server that never answers, with WinINet's time-outs honoured and, as
// before Internet Explorer 5.5, ignored.
// The platform headers go before <winsock2.h>, which brings <windows.h>.
#include "platform/Forms.h"
#include "platform/Platform.h"

#include <winsock2.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "LoopbackSocket.h"
#include "Win32TestSupport.h"
#include "platform/win32/Win32Compat.h"
#include "platform/win32/Win32Services.h"

namespace tavrel {
namespace {

// Answers every request with the same canned response.
class PageServer {
 public:
  // holdMs: how long a connection stays open, silent, after the response.
  explicit PageServer(std::string response, DWORD holdMs = 0) : response_(std::move(response)), holdMs_(holdMs) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = BindLoopback(SOCK_STREAM, IPPROTO_TCP, port_);
    listen(listener_, 4);
    thread_ = CreateThread(nullptr, 0, &PageServer::ServeThread, this, 0, nullptr);
  }
  ~PageServer() {
    closesocket(listener_);  // ends the accept below
    if (thread_) {
      WaitForSingleObject(thread_, INFINITE);
      CloseHandle(thread_);
    }
    WSACleanup();
  }
  std::string Url(const std::string& path = "/") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int requests() const { return requests_; }

 private:
  // A thread of the Windows API: the win32 thread model has no std::thread.
  static DWORD WINAPI ServeThread(void* self) {
    static_cast<PageServer*>(self)->Serve();
    return 0;
  }
  void Serve() {
    for (;;) {
      SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const int n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, n);
      }
      ++requests_;
      for (std::size_t sent = 0; sent < response_.size();) {
        const int n = send(client, response_.data() + sent, static_cast<int>(response_.size() - sent), 0);
        if (n <= 0) break;
        sent += n;
      }
      if (holdMs_) Sleep(holdMs_);
      shutdown(client, SD_SEND);
      closesocket(client);
    }
  }

  std::string response_;
  DWORD holdMs_;
  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::atomic<int> requests_{0};
  HANDLE thread_ = nullptr;
};

std::string Response(const std::string& status, const std::string& body) {
  return "HTTP/1.0 " + status + "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nCache-Control: max-age=3600\r\n\r\n" + body;
}

class HttpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
  IHttp& http = *Sys().http;
};

TEST_F(HttpTest, ReturnsTheBodyOfAnOkPage) {
  PageServer server(Response("200 OK", "<BR>Dec. 08, 12:00:00 UTC"));
  EXPECT_EQ(http.OpenUrl(server.Url("/cgi-bin/timer.pl")), "<BR>Dec. 08, 12:00:00 UTC");
}

TEST_F(HttpTest, EveryFetchGoesToTheServerEvenWhenThePageMayBeCached) {
  PageServer server(Response("200 OK", "time"));
  http.OpenUrl(server.Url());
  http.OpenUrl(server.Url());
  EXPECT_EQ(server.requests(), 2);
}

TEST_F(HttpTest, AnErrorStatusIsAnInternetError) {
  PageServer server(Response("404 Not Found", "missing"));
  EXPECT_EQ(ErrorOf([&] { http.OpenUrl(server.Url("/nothing")); }), errInetFailure);
}

TEST_F(HttpTest, ARefusedConnectionIsAnInternetError) {
  std::string url;
  {
    PageServer server(Response("200 OK", ""));
    url = server.Url();
  }  // nobody listens on that port any more
  EXPECT_EQ(ErrorOf([&] { http.OpenUrl(url); }), errInetFailure);
}

TEST_F(HttpTest, AMalformedAddressIsAnInternetError) {
  EXPECT_NE(ErrorOf([&] { http.OpenUrl("http://"); }), 0);
  EXPECT_NE(ErrorOf([&] { http.OpenUrl(""); }), 0);
}

// Headers that promise a body, a few bytes of it, then silence: the fetch
// ends with an error, never with the few bytes as a page. (Wine's WinINet
// keeps waiting until the server closes instead of giving up after the
// receive time-out; Windows gives up.)
TEST_F(HttpTest, APageThatStallsAfterItsHeadersEndsInAnError) {
  PageServer server("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000\r\n\r\nUTC 12:0",
                    12000);
  const DWORD start = GetTickCount();
  const long error = ErrorOf([&] { http.OpenUrl(server.Url("/stall")); });
  EXPECT_TRUE(error == errInetTimeout || error == errInetFailure) << error;
  EXPECT_LT(GetTickCount() - start, 30000u);
}

// Fetches that end in the middle of their body, one after the other, leave
// no handle behind. The first ones pay for what WinINet keeps for the life
// of the process.
TEST_F(HttpTest, PagesCutOffMidBodyLeaveNoHandles) {
  PageServer server("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000\r\n\r\nUTC 12:0");
  for (int i = 0; i < 5; ++i) ErrorOf([&] { http.OpenUrl(server.Url("/cut")); });
  const char* counted = "";
  const auto before = OpenHandles(counted);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(ErrorOf([&] { http.OpenUrl(server.Url("/cut")); }), errInetFailure);
  const auto after = OpenHandles(counted);
  ASSERT_TRUE(before && after) << "handles not counted";
  std::printf("%s before %lu, after 30 broken fetches %lu\n", counted, *before, *after);
  EXPECT_LE(*after, *before + 5);
}

TEST_F(HttpTest, ABodyBeyondOneMebibyteIsCutOff) {
  const std::string body(Win32Http::kMaxBody + 300000, 'x');
  PageServer server(Response("200 OK", body));
  EXPECT_EQ(http.OpenUrl(server.Url()).size(), Win32Http::kMaxBody);
}

// Takes every connection and its request, and never answers. A connection
// closes when the server goes, or after 20 s, so that a fetch without a
// deadline fails the test instead of hanging the run.
class SilentServer {
 public:
  SilentServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = BindLoopback(SOCK_STREAM, IPPROTO_TCP, port_);
    listen(listener_, 4);
    thread_ = CreateThread(nullptr, 0, &SilentServer::ServeThread, this, 0, nullptr);
  }
  ~SilentServer() {
    stop_ = true;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    closesocket(listener_);
    WSACleanup();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/cgi-bin/timer.pl"; }
  int connections() const { return connections_; }

 private:
  static DWORD WINAPI ServeThread(void* self) {
    static_cast<SilentServer*>(self)->Serve();
    return 0;
  }
  void Serve() {
    std::vector<SOCKET> clients;
    const DWORD start = GetTickCount();
    while (!stop_ && GetTickCount() - start < 20000) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(listener_, &readable);
      timeval wait{0, 50000};
      if (select(0, &readable, nullptr, nullptr, &wait) == 1) {
        clients.push_back(accept(listener_, nullptr, nullptr));
        ++connections_;
      }
    }
    for (SOCKET client : clients) closesocket(client);
  }

  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  HANDLE thread_ = nullptr;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
};

class DeadServerTest : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
  void SetUp() override { compat::PretendMissing(compat::Feature::WinInetTimeouts, GetParam()); }
  void TearDown() override { compat::PretendMissing(compat::Feature::WinInetTimeouts, false); }
  IHttp& http = *Sys().http;
};

// A fetch's deadline is twice its time-out: 1 s here. The window keeps
// painting meanwhile; the click waits for the end. The next fetch is not
// confused by the handles closed under the first.
TEST_P(DeadServerTest, AServerThatNeverAnswersEndsAtTheDeadlineWhileTheWindowPaints) {
  SilentServer silent;
  PaintProbe probe;
  probe.PostClick();
  HttpOptions options;
  options.timeoutMs = 500;
  const DWORD start = GetTickCount();
  EXPECT_EQ(ErrorOf([&] { http.Fetch(silent.Url(), options); }), errInetTimeout);
  const DWORD took = GetTickCount() - start;
  EXPECT_LT(took, 6000u);
  std::printf("a silent server: %lu ms, %d paints\n", static_cast<unsigned long>(took), probe.Paints());
  EXPECT_GE(probe.Paints(), 3);
  EXPECT_TRUE(probe.ClickStillQueued());
  EXPECT_EQ(silent.connections(), 1);

  PageServer server(Response("200 OK", "<BR>Dec. 08, 12:00:00 UTC"));
  EXPECT_EQ(http.OpenUrl(server.Url()), "<BR>Dec. 08, 12:00:00 UTC");
}

INSTANTIATE_TEST_SUITE_P(WinInetTimeouts, DeadServerTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("Ignored") : std::string("Honoured");
                         });

}  // namespace
}  // namespace tavrel
