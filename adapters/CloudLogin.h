#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// One HTTPS transfer handle of the login. The server must present a certificate that chains
// to the system's trusted roots or to the extra CA file and that names the URL's host; the
// password is in the URL, so nothing of the transfer is ever traced.
//
// Used on one thread at a time (the user-interface thread).
class CloudLogin {
  public:
    // A reply body larger than this aborts the transfer: a login reply is a few bytes.
    static constexpr size_t kMaxReplyBytes = 1 << 20;
    static constexpr long kTimeoutSeconds = 30;

    struct Result {
        int code = 0;  // the HTTP library's result; 0 when the transfer completed
        std::string body;
    };

    CloudLogin();
    ~CloudLogin();
    CloudLogin(const CloudLogin&) = delete;
    CloudLogin& operator=(const CloudLogin&) = delete;

    // False when the library could not make a handle.
    bool valid() const { return handle_ != nullptr; }
    // URL-escaped text ("a b&c" -> "a%20b%26c").
    std::optional<std::string> escape(std::string_view text) const;
    // GET of `url`; `caFile` (may be empty) is trusted in addition to the system's roots.
    Result get(const std::string& url, const std::string& caFile);

  private:
    void* handle_ = nullptr;
};

}  // namespace corvane
