#include "transport/HttpClient.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "transport/Base64.h"
#include "common/Url.h"
#include "common/Trace.h"

namespace qern {

namespace {

const char kBoundary[] = "--MULTI-PARTS-FORM-DATA-BOUNDARY";
const DWORD kRedirectNeedsConfirmation = 12168;  // ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION

void Append(std::vector<char>& body, const std::string& text) { body.insert(body.end(), text.begin(), text.end()); }

}  // namespace

// Everything WinINet may write or read after a wait was abandoned lives
// here: counts, the body being sent, the bytes being read.
struct HttpClient::Completion {
    KernelHandle done{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    std::atomic<DWORD> error{ERROR_SUCCESS};
    DWORD count = 0;
    std::vector<char> data;
};

namespace {

using CompletionHolder = std::shared_ptr<HttpClient::Completion>;

// A request's context is a heap holder of its completion: WinINet may finish
// an abandoned step after the client is gone, and it closes the handle last.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD) {
    auto* holder = reinterpret_cast<CompletionHolder*>(context);
    if (!holder) return;
    if (status == INTERNET_STATUS_REQUEST_COMPLETE && info) {
        const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
        // A finished query of available bytes carries the count, not an error.
        (*holder)->error = result->dwResult ? DWORD{ERROR_SUCCESS} : (result->dwError ? result->dwError : DWORD{1});
        SetEvent((*holder)->done.Get());
    } else if (status == INTERNET_STATUS_HANDLE_CLOSING) {
        delete holder;
    }
}

}  // namespace

HttpClient::~HttpClient() { Close(); }

bool HttpClient::Open(const char* url, const char* m_user, const char* m_password, const char* agent) {
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
    const char* u = m_user ? m_user : (parts.user.empty() ? nullptr : parts.user.c_str());
    const char* p = m_password ? m_password : (parts.password.empty() ? nullptr : parts.password.c_str());
    return Connect(parts.host.c_str(), parts.port, u, p, svc, agent);
}

bool HttpClient::Connect(const char* m_host, int32_t m_port, const char* m_user, const char* m_password,
                         int32_t m_service, const char* agent) {
    Close();  // an earlier connection is never leaked
    m_closing = false;
    ResetEvent(m_closed.Get());
    try {
        const bool http = m_service == ServiceHttp || m_service == ServiceHttps;
        m_internet.Reset(
            InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, http ? INTERNET_FLAG_ASYNC : 0));
        if (!m_internet) throw HttpError{"open internet failed..."};
        if (http && InternetSetStatusCallbackA(m_internet.Get(), OnStatus) == INTERNET_INVALID_STATUS_CALLBACK) {
            throw HttpError{"open internet failed..."};
        }
        int32_t usePort = m_port;
        DWORD kind = INTERNET_SERVICE_HTTP;
        DWORD flags = 0;
        switch (m_service) {
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
        m_connection.Reset(InternetConnectA(m_internet.Get(), m_host ? m_host : "", static_cast<INTERNET_PORT>(usePort),
                                            m_user, m_password, kind, flags, 0));
        if (!m_connection) throw HttpError{"connect failed..."};
        if (InternetAttemptConnect(0) != ERROR_SUCCESS) throw HttpError{"connect failed..."};
        host = m_host ? m_host : "";
        port = usePort;
        service = m_service;
        if (m_user) user = m_user;
        if (m_password) password = m_password;
        // Sent with every request, so a camera sees one request, not a refused one and then another.
        m_authorization.clear();
        if ((m_user && *m_user) || (m_password && *m_password)) {
            m_authorization = "Authorization: Basic " + MakeBasicCredentials(m_user, m_password) + "\r\n";
        }
        cookies.clear();
        formFields.clear();
        return true;
    } catch (const HttpError& e) {
        QernTrace("HttpClient::Connect..%s host=%s port=%d service=%d\n", e.text, m_host ? m_host : "", m_port,
                  m_service);
    } catch (...) {
        QernTrace("HttpClient::Connect..unknown exception... host=%s port=%d service=%d\n", m_host ? m_host : "",
                  m_port, m_service);
    }
    m_connection.Close();
    m_internet.Close();
    return false;
}

bool HttpClient::Request(const char* m_path, int32_t kind, const char* referrer) {
    const char* target = m_path && *m_path ? m_path : "/";
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
    m_request.Close();
    return false;
}

void HttpClient::OpenRequest(const char* verb, const char* m_path, const char* referrer, DWORD flags) {
    if (!m_connection) throw HttpError{"handle not opened..."};
    if (service == ServiceHttps) flags |= INTERNET_FLAG_SECURE;
    const char* accept[] = {"*/*", nullptr};
    m_completion = std::make_shared<Completion>();
    auto* holder = new CompletionHolder(m_completion);
    m_request.Reset(HttpOpenRequestA(m_connection.Get(), verb, m_path, "HTTP/1.0", referrer, accept, flags,
                                     reinterpret_cast<DWORD_PTR>(holder)));
    if (!m_request) {
        delete holder;
        throw HttpError{"request failed..."};
    }
    // Set before sending, or it does not reach the socket.
    DWORD ms = kStalledSocketMs;
    InternetSetOptionA(m_request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
    static const char acceptHeader[] = "Accept: */*\r\n";
    if (!HttpAddRequestHeadersA(m_request.Get(), acceptHeader, sizeof acceptHeader - 1, HTTP_ADDREQ_FLAG_REPLACE)) {
        throw HttpError{"additional header failed..."};
    }
    if (!m_authorization.empty() &&
        !HttpAddRequestHeadersA(m_request.Get(), m_authorization.c_str(), static_cast<DWORD>(m_authorization.size()),
                                HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)) {
        throw HttpError{"additional header failed..."};
    }
}

void HttpClient::SetCookies(const char* m_path) {
    if (cookies.empty()) return;
    const std::string url = CookieUrl(m_path);
    for (const auto& c : cookies) {
        if (!InternetSetCookieA(url.c_str(), c->name.c_str(), c->value.c_str()))
            throw HttpError{"add cookie failed..."};
    }
}

bool HttpClient::WaitingForBytes(DWORD error) const {
    return (error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT) && !m_closing.load();
}

DWORD HttpClient::Finish(BOOL done, DWORD waitMs) {
    if (done) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) return error;
    const std::shared_ptr<Completion> step = m_completion;
    if (!step) return ERROR_OPERATION_ABORTED;
    const HANDLE events[] = {m_closed.Get(), step->done.Get()};
    switch (WaitForMultipleObjects(2, events, FALSE, waitMs)) {
        case WAIT_OBJECT_0 + 1:
            return step->error.load();
        case WAIT_TIMEOUT:
            return WAIT_TIMEOUT;
        default:
            return ERROR_OPERATION_ABORTED;
    }
}

bool HttpClient::Get(const char* m_path, const char* referrer) {
    // One request, answered when the camera is ready: a slow camera is not asked
    // again. The wait ends with the answer, a failed connection, Close or the limit.
    OpenRequest("GET", m_path, referrer, INTERNET_FLAG_NO_CACHE_WRITE);
    SetCookies(m_path);
    if (Finish(HttpSendRequestA(m_request.Get(), nullptr, 0, nullptr, 0), m_answerTimeout) != ERROR_SUCCESS) {
        throw HttpError{"request failed..."};
    }
    return true;
}

bool HttpClient::Post(const char* m_path, const char* referrer) {
    OpenRequest("POST", m_path, referrer,
                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_FORMS_SUBMIT);
    SetCookies(m_path);
    const std::string body = BuildFormBody();
    std::vector<char>& sent = m_completion->data;
    sent.assign(body.begin(), body.end());
    static const char type[] = "Content-Type: application/x-www-form-urlencoded\r\n";
    const DWORD error = Finish(HttpSendRequestA(m_request.Get(), type, sizeof type - 1,
                                                sent.empty() ? nullptr : sent.data(), static_cast<DWORD>(sent.size())));
    if (error != ERROR_SUCCESS && error != kRedirectNeedsConfirmation) throw HttpError{"request failed..."};
    return true;
}

bool HttpClient::PostMultipart(const char* m_path, const char* referrer) {
    OpenRequest("POST", m_path, referrer,
                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_FORMS_SUBMIT);
    static const char type[] = "Content-Type: multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\n";
    if (!HttpAddRequestHeadersA(m_request.Get(), type, sizeof type - 1, HTTP_ADDREQ_FLAG_ADD_IF_NEW)) {
        throw HttpError{"additional header failed..."};
    }
    SetCookies(m_path);
    std::vector<char>& body = m_completion->data;
    body = BuildMultipartBody();
    char length[64];
    std::snprintf(length, sizeof length, "Content-Length: %u\r\n", static_cast<unsigned>(body.size()));
    if (!HttpAddRequestHeadersA(m_request.Get(), length, static_cast<DWORD>(std::strlen(length)),
                                HTTP_ADDREQ_FLAG_ADD_IF_NEW)) {
        throw HttpError{"additional header failed..."};
    }
    INTERNET_BUFFERSA buffers{};
    buffers.dwStructSize = sizeof buffers;
    if (Finish(HttpSendRequestExA(m_request.Get(), &buffers, nullptr, HSR_INITIATE, 0)) != ERROR_SUCCESS) {
        throw HttpError{"request failed"};
    }
    size_t done = 0;
    DWORD& written = m_completion->count;
    while (done < body.size()) {
        written = 0;
        if (Finish(InternetWriteFile(m_request.Get(), body.data() + done, static_cast<DWORD>(body.size() - done),
                                     &written)) != ERROR_SUCCESS ||
            written == 0) {
            throw HttpError{"request failed"};
        }
        done += written;
    }
    if (Finish(HttpEndRequestA(m_request.Get(), nullptr, HSR_INITIATE, 0)) != ERROR_SUCCESS) {
        throw HttpError{"request failed"};
    }
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
        Append(body, delimiter + "\r\nContent-Disposition: form-data; name=\"" + f->name + "\"; filename=\"" +
                         f->value + "\"\r\n\r\n");
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
            const HINTERNET r = m_request.Get();
            if (!InternetHandleTraits::Valid(r)) throw HttpError{"connection failed..."};
            if (size == 0 || !buffer) return 0;
            const std::shared_ptr<Completion> step = m_completion;
            if (!step) throw HttpError{"connection failed..."};
            // Wait for bytes, then take only what is there: a read that times out
            // with a partly filled buffer would lose those bytes.
            step->count = 0;
            if (InternetQueryDataAvailable(r, &step->count, 0, 0)) {
                const DWORD available = std::min<DWORD>(step->count, size);
                if (available == 0) return 0;  // end of the body
                if (step->data.size() < available) step->data.resize(available);
                step->count = 0;
                if (Finish(InternetReadFile(r, step->data.data(), available, &step->count)) != ERROR_SUCCESS ||
                    step->count > available) {
                    throw HttpError{"response failed..."};
                }
                std::memcpy(buffer, step->data.data(), step->count);
                return step->count;
            }
            // Pending: once it finishes the bytes are buffered and the next query counts them.
            const DWORD error = Finish(FALSE);
            if (error != ERROR_SUCCESS && !WaitingForBytes(error)) throw HttpError{"response failed..."};
        }
    } catch (const HttpError& e) {
        QernTrace("HttpClient::Read..%s host=%s port=%d service=%d path=%s\n", e.text, host.c_str(), port, service,
                  path.c_str());
    } catch (...) {
        QernTrace("HttpClient::Read..unknown exception... host=%s port=%d service=%d\n", host.c_str(), port, service);
    }
    m_request.Close();
    return 0;
}

void HttpClient::Close() {
    m_closing = true;
    SetEvent(m_closed.Get());
    m_request.Close();
    m_connection.Close();
    m_internet.Close();
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

}  // namespace qern
