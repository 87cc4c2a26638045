#include "adapters/CloudLogin.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <new>

namespace corvane {

namespace {

struct Transfer {
    std::string body;
    const std::string* caFile = nullptr;
};

// Appends one received chunk; returning anything but the chunk's size aborts the transfer.
size_t appendChunk(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    size_t bytes = size * count;
    if (transfer->body.size() + bytes > CloudLogin::kMaxReplyBytes) return 0;
    try {
        transfer->body.append(data, bytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return bytes;
}

// Adds the extra CA file to the roots the library has already loaded: the CA option of the
// library would replace the system's roots instead.
CURLcode addExtraCa(CURL*, void* sslContext, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    if (transfer->caFile->empty()) return CURLE_OK;
    auto* context = static_cast<SSL_CTX*>(sslContext);
    if (SSL_CTX_load_verify_locations(context, transfer->caFile->c_str(), nullptr) != 1) {
        return CURLE_SSL_CACERT_BADFILE;
    }
    return CURLE_OK;
}

}  // namespace

CloudLogin::CloudLogin() {
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) return;
    handle_ = curl_easy_init();
    if (!handle_) curl_global_cleanup();
}

CloudLogin::~CloudLogin() {
    if (!handle_) return;
    curl_easy_cleanup(static_cast<CURL*>(handle_));
    curl_global_cleanup();
}

std::optional<std::string> CloudLogin::escape(std::string_view text) const {
    if (!handle_) return std::nullopt;
    char* escaped =
        curl_easy_escape(static_cast<CURL*>(handle_), text.data(), static_cast<int>(text.size()));
    if (!escaped) return std::nullopt;
    std::string out(escaped);
    curl_free(escaped);
    return out;
}

CloudLogin::Result CloudLogin::get(const std::string& url, const std::string& caFile) {
    Result result;
    if (!handle_) {
        result.code = CURLE_FAILED_INIT;
        return result;
    }
    auto* curl = static_cast<CURL*>(handle_);
    Transfer transfer;
    transfer.caFile = &caFile;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_DEFAULT_PROTOCOL, "https");
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    // The URL carries the password: the library's own trace stays off.
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, addExtraCa);
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendChunk);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    result.code = static_cast<int>(curl_easy_perform(curl));
    // The handle keeps no pointer into this call's locals.
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    result.body = std::move(transfer.body);
    return result;
}

}  // namespace corvane
