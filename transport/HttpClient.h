// Blocking HTTP client over WinINet: one Internet session, one server
// connection and at most one open request per client. HTTP sessions run
// WinINet in asynchronous mode and the caller waits for each step, so that
// Close can end a wait at once on every platform (Wine does not end a read
// blocked in WinINet when its handle is closed).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/WinHandle.h"

namespace qern {

struct HttpFormField {
    std::string name;
    std::string value;  // for a file field: the path of the file to upload
    bool isFile = false;
};

struct HttpCookie {
    std::string name;
    std::string value;
};

class HttpClient {
public:
    enum Service : int32_t { ServiceFtp = 0, ServiceHttp = 1, ServiceHttps = 2 };
    enum RequestKind : int32_t { RequestGet = 0, RequestPost = 1, RequestPostMultipart = 2 };

    HttpClient() = default;
    // Closes whatever is still open.
    virtual ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Splits url, picks the service from its scheme and connects. The caller's
    // user and password win over the URL's (a null one falls back to the URL's).
    bool Open(const char* url, const char* user, const char* password, const char* agent);
    // Port 0 means the service's default. A connection still open is closed first.
    virtual bool Connect(const char* host, int32_t port, const char* user, const char* password, int32_t service,
                         const char* agent);
    // Sends a GET, form POST or multipart upload of path; true when sent.
    bool Request(const char* path, int32_t kind, const char* referrer);
    // Stores up to size bytes of the response body; 0 at its end or on failure.
    // Waits until bytes come or Close is called; a camera that pauses is not
    // an end (a chunked body may end after kStalledSocketMs without bytes).
    uint32_t Read(void* buffer, uint32_t size);
    // Closes request, connection and session, in that order. May be called
    // from another thread to end a Read in progress.
    void Close();

    // Records for the next POST or upload and for every request's cookies.
    // Connect empties both lists, so add them after Open.
    void AddFormField(const std::string& name, const std::string& value);
    void AddFileField(const std::string& name, const std::string& filePath);
    void AddCookie(const std::string& name, const std::string& value);

    // The URL the cookies are set for: scheme, host, the port unless it is the
    // scheme's default, and the request path.
    std::string CookieUrl(const std::string& requestPath) const;

    // How long WinINet's own socket waits for bytes. A time-out there ends a
    // chunked body, so it is long; it also bounds how long an abandoned
    // request keeps its connection after Close.
    static constexpr uint32_t kStalledSocketMs = 30000;
    // How long a GET waits for its answer (sent once; Close ends the wait).
    void SetAnswerTimeout(uint32_t milliseconds) { m_answerTimeout = milliseconds; }

    // The outcome of a request's step that WinINet finishes on its own thread.
    struct Completion;

    // The multipart body of the current form fields, as an upload sends it.
    std::vector<char> BuildMultipartBody() const;
    std::string BuildFormBody() const;

    std::string host;
    std::string user;
    std::string password;
    std::string path;
    int32_t port = 0;
    int32_t service = ServiceHttp;
    std::vector<std::unique_ptr<HttpFormField>> formFields;
    std::vector<std::unique_ptr<HttpCookie>> cookies;

protected:
    virtual bool PostMultipart(const char* path, const char* referrer);
    virtual bool Post(const char* path, const char* referrer);
    virtual bool Get(const char* path, const char* referrer);

    InternetHandle m_internet;
    InternetHandle m_connection;
    InternetHandle m_request;

private:
    void OpenRequest(const char* verb, const char* path, const char* referrer, DWORD flags);
    void SetCookies(const char* path);
    bool WaitingForBytes(DWORD error) const;
    // The error of a step that WinINet may finish on its own thread: waits up
    // to waitMs when it is pending. WAIT_TIMEOUT when the wait ran out,
    // ERROR_OPERATION_ABORTED when Close was called.
    DWORD Finish(BOOL done, DWORD waitMs = INFINITE);

    // The current request's completion, shared with WinINet's callback until
    // the request handle is gone.
    std::shared_ptr<Completion> m_completion;
    KernelHandle m_closed{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    uint32_t m_answerTimeout = kStalledSocketMs;
    std::string m_authorization;  // the Basic credentials header of the connection, or empty
    std::atomic<bool> m_closing{false};
};

// Every failing step of the client raises one of these texts.
struct HttpError {
    const char* text;
};

}  // namespace qern
