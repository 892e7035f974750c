#include "transport/HttpClient.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "transport/ParseUrl.h"
#include "transport/Trace.h"

namespace {

const char kBoundary[] = "--MULTI-PARTS-FORM-DATA-BOUNDARY";
const DWORD kRedirectNeedsConfirmation = 12168;  // ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION

void Append(std::vector<char>& body, const std::string& text) {
  body.insert(body.end(), text.begin(), text.end());
}

}  // namespace

HttpClient::~HttpClient() { Close(); }

bool HttpClient::Open(const char* url, const char* user_, const char* password_, const char* agent) {
  const ParsedUrl parts = ParseUrl(url ? url : "");
  int32_t svc = -1;
  if (parts.scheme.compare(0, 5, "https") == 0) {
    svc = ServiceHttps;
  } else if (parts.scheme.compare(0, 4, "http") == 0) {
    svc = ServiceHttp;
  } else if (parts.scheme.compare(0, 3, "ftp") == 0) {
    svc = ServiceFtp;
  }
  path = parts.path;
  const char* u = user_ ? user_ : (parts.user.empty() ? nullptr : parts.user.c_str());
  const char* p = password_ ? password_ : (parts.password.empty() ? nullptr : parts.password.c_str());
  return Connect(parts.host.c_str(), parts.port, u, p, svc, agent);
}

bool HttpClient::Connect(const char* host_, int32_t port_, const char* user_, const char* password_,
                         int32_t service_, const char* agent) {
  Close();  // an earlier connection is never leaked
  closing = false;
  try {
    internet.Reset(InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) throw HttpError{"open internet failed..."};
    int32_t usePort = port_;
    DWORD kind = INTERNET_SERVICE_HTTP;
    DWORD flags = 0;
    switch (service_) {
      case ServiceFtp:
        if (usePort == 0) usePort = 21;
        kind = INTERNET_SERVICE_FTP;
        flags = INTERNET_FLAG_PASSIVE;
        break;
      case ServiceHttp:
        if (usePort == 0) usePort = 80;
        break;
      case ServiceHttps:
        if (usePort == 0) usePort = 443;
        break;
      default:
        throw HttpError{"connect failed..."};  // a scheme this client does not serve
    }
    if (usePort < 1 || usePort > 65535) throw HttpError{"connect failed..."};
    connection.Reset(InternetConnectA(internet.Get(), host_ ? host_ : "", static_cast<INTERNET_PORT>(usePort),
                                      user_, password_, kind, flags, 0));
    if (!connection) throw HttpError{"connect failed..."};
    if (InternetAttemptConnect(0) != ERROR_SUCCESS) throw HttpError{"connect failed..."};
    host = host_ ? host_ : "";
    port = usePort;
    service = service_;
    if (user_) user = user_;
    if (password_) password = password_;
    cookies.clear();
    formFields.clear();
    return true;
  } catch (const HttpError& e) {
    QernTrace("HttpClient::Connect..%s host=%s port=%d service=%d\n", e.text, host_ ? host_ : "", port_, service_);
  } catch (...) {
    QernTrace("HttpClient::Connect..unknown exception... host=%s port=%d service=%d\n", host_ ? host_ : "", port_,
              service_);
  }
  connection.Close();
  internet.Close();
  return false;
}

bool HttpClient::Request(const char* path_, int32_t kind, const char* referrer) {
  const char* target = path_ && *path_ ? path_ : "/";
  try {
    bool sent = false;
    switch (kind) {
      case RequestPostMultipart:
        sent = PostMultipart(target, referrer);
        break;
      case RequestPost:
        sent = Post(target, referrer);
        break;
      case RequestGet:
        sent = Get(target, referrer);
        break;
      default:
        break;
    }
    if (sent) {
      path = target;
      return true;
    }
  } catch (const HttpError& e) {
    QernTrace("HttpClient::Request..%s host=%s port=%d service=%d path=%s\n", e.text, host.c_str(), port, service,
              target);
  } catch (...) {
    QernTrace("HttpClient::Request..unknown exception... host=%s port=%d service=%d path=%s\n", host.c_str(), port,
              service, target);
  }
  request.Close();
  return false;
}

void HttpClient::OpenRequest(const char* verb, const char* path_, const char* referrer, DWORD flags) {
  if (!connection) throw HttpError{"handle not opened..."};
  if (service == ServiceHttps) flags |= INTERNET_FLAG_SECURE;
  const char* accept[] = {"*/*", nullptr};
  request.Reset(HttpOpenRequestA(connection.Get(), verb, path_, "HTTP/1.0", referrer, accept, flags, 0));
  if (!request) throw HttpError{"request failed..."};
  if (receiveTimeout != 0) {
    // Must be set before sending to take effect.
    DWORD ms = receiveTimeout;
    InternetSetOptionA(request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
  }
  static const char acceptHeader[] = "Accept: */*\r\n";
  if (!HttpAddRequestHeadersA(request.Get(), acceptHeader, sizeof acceptHeader - 1, HTTP_ADDREQ_FLAG_REPLACE)) {
    throw HttpError{"additional header failed..."};
  }
}

void HttpClient::SetCookies(const char* path_) {
  if (cookies.empty()) return;
  const std::string url = CookieUrl(path_);
  for (const auto& c : cookies) {
    if (!InternetSetCookieA(url.c_str(), c->name.c_str(), c->value.c_str())) throw HttpError{"add cookie failed..."};
  }
}

bool HttpClient::WaitingForBytes(DWORD error) const {
  return (error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT) && !closing.load();
}

bool HttpClient::Get(const char* path_, const char* referrer) {
  OpenRequest("GET", path_, referrer, INTERNET_FLAG_NO_CACHE_WRITE);
  SetCookies(path_);
  // A camera slower to answer than the receive wait gets the request again,
  // with twice the wait each time (up to 16 times the first).
  DWORD wait = receiveTimeout;
  while (!HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) {
    const DWORD error = GetLastError();
    const bool timedOut = error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT ||
                          error == ERROR_INTERNET_CONNECTION_ABORTED;
    if (!timedOut || closing.load() || wait == 0 || wait >= receiveTimeout * 16) {
      throw HttpError{"request failed..."};
    }
    wait *= 2;
    InternetSetOptionA(request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
  }
  return true;
}

bool HttpClient::Post(const char* path_, const char* referrer) {
  OpenRequest("POST", path_, referrer,
              INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_FORMS_SUBMIT);
  SetCookies(path_);
  std::string body = BuildFormBody();
  static const char type[] = "Content-Type: application/x-www-form-urlencoded\r\n";
  if (!HttpSendRequestA(request.Get(), type, sizeof type - 1, body.empty() ? nullptr : &body[0],
                        static_cast<DWORD>(body.size()))) {
    if (GetLastError() != kRedirectNeedsConfirmation) throw HttpError{"request failed..."};
  }
  return true;
}

bool HttpClient::PostMultipart(const char* path_, const char* referrer) {
  OpenRequest("POST", path_, referrer,
              INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_FORMS_SUBMIT);
  static const char type[] = "Content-Type: multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\n";
  if (!HttpAddRequestHeadersA(request.Get(), type, sizeof type - 1, HTTP_ADDREQ_FLAG_ADD_IF_NEW)) {
    throw HttpError{"additional header failed..."};
  }
  SetCookies(path_);
  std::vector<char> body = BuildMultipartBody();
  char length[64];
  std::snprintf(length, sizeof length, "Content-Length: %u\r\n", static_cast<unsigned>(body.size()));
  if (!HttpAddRequestHeadersA(request.Get(), length, static_cast<DWORD>(std::strlen(length)),
                              HTTP_ADDREQ_FLAG_ADD_IF_NEW)) {
    throw HttpError{"additional header failed..."};
  }
  INTERNET_BUFFERSA buffers{};
  buffers.dwStructSize = sizeof buffers;
  if (!HttpSendRequestExA(request.Get(), &buffers, nullptr, HSR_INITIATE, 0)) throw HttpError{"request failed"};
  size_t done = 0;
  while (done < body.size()) {
    DWORD written = 0;
    if (!InternetWriteFile(request.Get(), body.data() + done, static_cast<DWORD>(body.size() - done), &written) ||
        written == 0) {
      throw HttpError{"request failed"};
    }
    done += written;
  }
  if (!HttpEndRequestA(request.Get(), nullptr, HSR_INITIATE, 0)) throw HttpError{"request failed"};
  return true;
}

std::string HttpClient::BuildFormBody() const {
  std::string body;
  for (size_t i = 0; i < formFields.size(); ++i) {
    if (i > 0) body += '&';
    body += formFields[i]->name;
    body += '=';
    body += formFields[i]->value;
  }
  return body;
}

std::vector<char> HttpClient::BuildMultipartBody() const {
  // Sized from what each field really holds; a file is read to its end.
  std::vector<char> body;
  const std::string delimiter = std::string("--") + kBoundary;
  for (const auto& f : formFields) {
    if (!f->isFile) {
      Append(body, delimiter + "\r\nContent-Disposition: form-data; name=\"" + f->name + "\"\r\n\r\n" + f->value +
                       "\r\n");
      continue;
    }
    Append(body, delimiter + "\r\nContent-Disposition: form-data; name=\"" + f->name + "\"; filename=\"" + f->value +
                     "\"\r\n\r\n");
    KernelHandle file(CreateFileA(f->value.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) continue;  // header only
    char piece[1024];
    DWORD got = 0;
    while (ReadFile(file.Get(), piece, sizeof piece, &got, nullptr) && got > 0) {
      body.insert(body.end(), piece, piece + got);
    }
    Append(body, "\r\n");
  }
  Append(body, delimiter + "--\r\n");
  return body;
}

uint32_t HttpClient::Read(void* buffer, uint32_t size) {
  try {
    for (;;) {
      const HINTERNET r = request.Get();
      if (!InternetHandleTraits::Valid(r)) throw HttpError{"connection failed..."};
      if (size == 0 || !buffer) return 0;
      // Wait for bytes, then take only what is there: a read that times out
      // with a partly filled buffer would lose those bytes.
      DWORD available = 0;
      if (InternetQueryDataAvailable(r, &available, 0, 0)) {
        if (available == 0) return 0;  // end of the body
        DWORD got = 0;
        if (!InternetReadFile(r, buffer, std::min<DWORD>(available, size), &got)) {
          throw HttpError{"response failed..."};
        }
        return got;
      }
      if (!WaitingForBytes(GetLastError())) throw HttpError{"response failed..."};
    }
  } catch (const HttpError& e) {
    QernTrace("HttpClient::Read..%s host=%s port=%d service=%d path=%s\n", e.text, host.c_str(), port, service,
              path.c_str());
  } catch (...) {
    QernTrace("HttpClient::Read..unknown exception... host=%s port=%d service=%d\n", host.c_str(), port, service);
  }
  request.Close();
  return 0;
}

void HttpClient::Close() {
  closing = true;
  request.Close();
  connection.Close();
  internet.Close();
}

void HttpClient::AddFormField(const std::string& name, const std::string& value) {
  formFields.push_back(std::make_unique<HttpFormField>(HttpFormField{name, value, false}));
}

void HttpClient::AddFileField(const std::string& name, const std::string& filePath) {
  formFields.push_back(std::make_unique<HttpFormField>(HttpFormField{name, filePath, true}));
}

void HttpClient::AddCookie(const std::string& name, const std::string& value) {
  cookies.push_back(std::make_unique<HttpCookie>(HttpCookie{name, value}));
}

std::string HttpClient::CookieUrl(const std::string& requestPath) const {
  std::string url = service == ServiceHttp ? "http://" : service == ServiceHttps ? "https://" : "";
  url += host;
  if (!((service == ServiceHttp && port == 80) || (service == ServiceHttps && port == 443))) {
    url += ':';
    url += std::to_string(port);
  }
  return url + requestPath;
}
