// Web pages through WinINet, which honours the user's proxy settings as the
// users of the time pages expect. Every fetch goes to the server: a cached
// time page would set the clock to the time it was cached.
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Convert.h"

namespace tavrel {
namespace {

class InetHandle {
 public:
  explicit InetHandle(HINTERNET h) : h_(h) {}
  ~InetHandle() { if (h_) InternetCloseHandle(h_); }
  InetHandle(const InetHandle&) = delete;
  InetHandle& operator=(const InetHandle&) = delete;
  HINTERNET get() const { return h_; }

 private:
  HINTERNET h_;
};

// A name that does not resolve and a connection nobody takes are what a
// network that is down looks like; the program retries those sooner.
[[noreturn]] void RaiseInetError(DWORD error) {
  if (error == ERROR_INTERNET_TIMEOUT) Raise(errInetTimeout);
  const long number = error == ERROR_INTERNET_NAME_NOT_RESOLVED ? errHostNotFound
                      : error == ERROR_INTERNET_CANNOT_CONNECT  ? errCannotConnect
                                                                : errInetFailure;
  const std::string message = WindowsMessage(error);
  Raise(number, message.empty() ? ErrorDescription(number) : message);
}

void SetTimeout(HINTERNET session, DWORD option, DWORD ms) {
  InternetSetOptionA(session, option, &ms, sizeof ms);
}

}  // namespace

HttpAnswer Win32Http::Fetch(const std::string& url, const HttpOptions& options) {
  const DWORD timeout = options.timeoutMs ? options.timeoutMs : kTimeoutMs;
  InetHandle session(InternetOpenA("A_Tavrel", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session.get()) RaiseInetError(GetLastError());
  SetTimeout(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, timeout);
  SetTimeout(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, timeout);
  SetTimeout(session.get(), INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, timeout);

  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                INTERNET_FLAG_NO_UI;
  if (!options.followRedirects) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  HttpAnswer answer;
  // The call returns once the status line and headers are in: the two
  // readings bracket the moment the server wrote its Date.
  Win32Clock clock;
  answer.sentUtc = clock.NowUtc();
  InetHandle request(InternetOpenUrlA(session.get(), url.c_str(),
                                     options.headers.empty() ? nullptr : options.headers.c_str(),
                                     static_cast<DWORD>(options.headers.size()), flags, 0));
  answer.answeredUtc = clock.NowUtc();
  if (!request.get()) RaiseInetError(GetLastError());
  // Set again on the request: some WinINet versions read a request's
  // time-outs only from its own handle.
  SetTimeout(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, timeout);
  SetTimeout(request.get(), INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, timeout);

  DWORD status = 0;
  DWORD size = sizeof status;
  DWORD index = 0;
  answer.status = HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                                 &size, &index)
                      ? static_cast<int>(status)
                      : 200;
  char headers[8192];
  size = sizeof headers;
  index = 0;
  if (HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, headers, &size, &index))
    answer.headers.assign(headers, size);

  std::string& body = answer.body;
  char buffer[8192];
  while (body.size() < kMaxBody) {
    DWORD read = 0;
    if (!InternetReadFile(request.get(), buffer, sizeof buffer, &read)) RaiseInetError(GetLastError());
    if (read == 0) break;
    body.append(buffer, read);
  }
  if (body.size() > kMaxBody) body.resize(kMaxBody);
  // A connection that ends before the promised length is a broken transfer,
  // not a short page.
  DWORD length = 0;
  size = sizeof length;
  index = 0;
  if (body.size() < kMaxBody &&
      HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, &index) &&
      body.size() < length)
    Raise(errInetFailure, "The connection ended before the page was complete");
  return answer;
}

}  // namespace tavrel
