// Web pages through WinINet, which honours the user's proxy settings as the
// users of the time pages expect. Every fetch goes to the server: a cached
// time page would set the clock to the time it was cached.
//
// The transfer runs on a worker thread with a deadline (Win32Wait.h):
// WinINet before Internet Explorer 5.5 ignores its time-outs on blocking
// calls, so a server that never answers would hold the window for the
// whole TCP time-out, and no version bounds the name look-up inside the
// request. At the deadline the session is closed under the blocked call,
// which ends it (and every handle opened from the session).
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Convert.h"
#include "platform/win32/Win32Compat.h"
#include "platform/win32/Win32Wait.h"

#include <atomic>

namespace tavrel {
namespace {

[[noreturn]] void RaiseInetError(DWORD error) {
  if (error == ERROR_INTERNET_TIMEOUT) Raise(errInetTimeout);
  const std::string message = WindowsMessage(error);
  Raise(errInetFailure, message.empty() ? ErrorDescription(errInetFailure) : message);
}

void SetTimeout(HINTERNET handle, DWORD option, DWORD ms) {
  InternetSetOptionA(handle, option, &ms, sizeof ms);
}

// One request on a worker. The session is the calling thread's: it opens
// it and closes it. The request, the answer and every reading of the clock
// are the worker's until it has finished; at the deadline the calling
// thread closes the request (and the session, for a call still opening it)
// under the blocked call, the documented way to end it, and from then on
// the worker makes no call with either.
class Transfer : public BlockingJob {
 public:
  Transfer(HINTERNET session, std::string url, DWORD flags, DWORD timeoutMs)
      : session_(session), url_(std::move(url)), flags_(flags), timeoutMs_(timeoutMs) {}

  void Run() override {
    Win32Clock clock;
    // The call returns once the status line and headers are in: the two
    // readings bracket the moment the server wrote its Date.
    answer.sentUtc = clock.NowUtc();
    HINTERNET request = InternetOpenUrlA(session_, url_.c_str(), nullptr, 0, flags_, 0);
    answer.answeredUtc = clock.NowUtc();
    if (!request) {
      error = GetLastError();
      return;
    }
    // Seen by a cancel from here on; a cancel before this closed the
    // session, and the request with it.
    request_ = request;
    ReadAnswer(request);
    int running = kRunning;
    if (stage_.compare_exchange_strong(running, kClosing)) InternetCloseHandle(request);
  }

  bool Cancel() override {
    int running = kRunning;
    // Closing its request already: the worker is as good as done.
    if (!stage_.compare_exchange_strong(running, kCancelled)) return true;
    if (HINTERNET request = request_) InternetCloseHandle(request);
    CloseSession();
    return true;
  }

  // On the calling thread, once: at the deadline or after the transfer.
  void CloseSession() {
    if (sessionClosed_) return;
    sessionClosed_ = true;
    InternetCloseHandle(session_);
  }

  // The results, for the calling thread once the worker has finished.
  DWORD error = 0;           // the failed call's GetLastError; 0 when none failed
  DWORD promisedLength = 0;  // Content-Length, 0 when the answer gave none
  HttpAnswer answer;

 private:
  enum Stage { kRunning, kCancelled, kClosing };

  bool Cancelled() const { return stage_ == kCancelled; }

  void ReadAnswer(HINTERNET request) {
    // Set again on the request: some WinINet versions read a request's
    // time-outs only from its own handle.
    if (timeoutMs_) {
      SetTimeout(request, INTERNET_OPTION_RECEIVE_TIMEOUT, timeoutMs_);
      SetTimeout(request, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, timeoutMs_);
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    DWORD index = 0;
    answer.status = HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                                   &index)
                        ? static_cast<int>(status)
                        : 200;
    char headers[8192];
    size = sizeof headers;
    index = 0;
    if (HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, headers, &size, &index))
      answer.headers.assign(headers, size);
    size = sizeof promisedLength;
    index = 0;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &promisedLength, &size,
                        &index))
      promisedLength = 0;

    std::string& body = answer.body;
    char buffer[8192];
    while (body.size() < Win32Http::kMaxBody) {
      // After a cancel the request is closed: no call may use it again.
      if (Cancelled()) {
        error = ERROR_INTERNET_OPERATION_CANCELLED;
        return;
      }
      DWORD read = 0;
      if (!InternetReadFile(request, buffer, sizeof buffer, &read)) {
        error = GetLastError();
        return;
      }
      if (read == 0) break;
      body.append(buffer, read);
    }
    if (body.size() > Win32Http::kMaxBody) body.resize(Win32Http::kMaxBody);
  }

  const HINTERNET session_;
  bool sessionClosed_ = false;  // the calling thread's alone
  const std::string url_;
  const DWORD flags_;
  const DWORD timeoutMs_;  // 0: leave WinINet's own
  std::atomic<int> stage_{kRunning};
  std::atomic<HINTERNET> request_{nullptr};  // once InternetOpenUrlA returned it
};

// Closes the session whatever happens on the way out of a fetch.
class SessionCloser {
 public:
  explicit SessionCloser(Transfer& transfer) : transfer_(transfer) {}
  ~SessionCloser() { transfer_.CloseSession(); }
  SessionCloser(const SessionCloser&) = delete;
  SessionCloser& operator=(const SessionCloser&) = delete;

 private:
  Transfer& transfer_;
};

// Time for the connection (the name look-up included) and as much again
// for the answer: what WinINet's own time-outs allow a fetch that keeps
// coming.
DWORD DeadlineMs(DWORD timeoutMs) { return timeoutMs > MAXDWORD / 2 ? MAXDWORD : 2 * timeoutMs; }

}  // namespace

HttpAnswer Win32Http::Fetch(const std::string& url, const HttpOptions& options) {
  const DWORD timeout = options.timeoutMs ? options.timeoutMs : kTimeoutMs;
  HINTERNET session = InternetOpenA("A_Tavrel", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) RaiseInetError(GetLastError());
  // Old WinINet ignores these on blocking calls; the deadline holds anyway.
  const bool timeoutsHonoured = !compat::PretendsMissing(compat::Feature::WinInetTimeouts);
  if (timeoutsHonoured) {
    SetTimeout(session, INTERNET_OPTION_CONNECT_TIMEOUT, timeout);
    SetTimeout(session, INTERNET_OPTION_RECEIVE_TIMEOUT, timeout);
    SetTimeout(session, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, timeout);
  }
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                INTERNET_FLAG_NO_UI;
  if (!options.followRedirects) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;

  std::shared_ptr<Transfer> transfer;
  try {
    transfer = std::make_shared<Transfer>(session, url, flags, timeoutsHonoured ? timeout : 0);
  } catch (...) {
    InternetCloseHandle(session);
    throw;
  }
  SessionCloser closer(*transfer);
  const JobEnd end = RunWithDeadline(transfer, DeadlineMs(timeout));
  if (end == JobEnd::TimedOut) Raise(errInetTimeout);
  if (end == JobEnd::Refused) Raise(errInetFailure, "No thread for the request: earlier ones still hang");
  if (transfer->error) RaiseInetError(transfer->error);
  // A connection that ends before the promised length is a broken transfer,
  // not a short page.
  HttpAnswer& answer = transfer->answer;
  if (answer.body.size() < kMaxBody && answer.body.size() < transfer->promisedLength)
    Raise(errInetFailure, "The connection ended before the page was complete");
  return std::move(answer);
}

}  // namespace tavrel
