// Built as C++17: the websocket library does not compile as C++20. Every include of it stays
// in this file.
#include "adapters/WebsocketEndpoint.h"

#include <asio/ssl/host_name_verification.hpp>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <thread>
#include <utility>
#include <websocketpp/client.hpp>
#include <websocketpp/config/asio_client.hpp>

#include "debugport/DebugPrint.h"

namespace corvane {

namespace {

using Client = websocketpp::client<websocketpp::config::asio_tls_client>;
using SslContext = asio::ssl::context;

// How long destruction waits for the close handshakes before it stops the loop outright.
constexpr auto kShutdownGrace = std::chrono::seconds(2);

}  // namespace

connection_metadata::connection_metadata(int32_t id, std::weak_ptr<void> handle, std::string uri,
                                         std::shared_ptr<std::atomic<bool>> verificationFailed)
    : id_(id),
      handle_(std::move(handle)),
      uri_(std::move(uri)),
      verificationFailed_(std::move(verificationFailed)) {}

std::string connection_metadata::status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
}

std::string connection_metadata::server() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return server_;
}

std::string connection_metadata::errorReason() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errorReason_;
}

void connection_metadata::markOpen(std::string server) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = "Open";
    server_ = std::move(server);
}

void connection_metadata::markFailed(std::string server, std::string reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = "Failed";
    server_ = std::move(server);
    errorReason_ = std::move(reason);
}

void connection_metadata::markClosed(std::string reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = "Closed";
    errorReason_ = std::move(reason);
}

struct WebsocketEndpoint::Impl {
    explicit Impl(TextHandler handler) : onText(std::move(handler)) {}

    std::shared_ptr<connection_metadata> find(int32_t id) const {
        std::lock_guard<std::mutex> lock(tableMutex);
        auto it = table.find(id);
        return it == table.end() ? nullptr : it->second;
    }

    void runLoop() {
        for (;;) {
            try {
                client.run();
                break;
            } catch (const std::exception& e) {
                DebugPrint("Websocket loop error: %s\r\n", e.what());
            }
        }
        std::lock_guard<std::mutex> lock(doneMutex);
        loopDone = true;
        doneCv.notify_all();
    }

    TextHandler onText;
    Client client;
    std::thread worker;
    mutable std::mutex tableMutex;  // guards table and nextId
    std::map<int32_t, std::shared_ptr<connection_metadata>> table;
    int32_t nextId = 0;
    // The library asks for a connection's TLS context while the connection is being created,
    // before the caller sees it: openConnection leaves what the context needs here, under
    // openMutex, for the duration of that call.
    std::mutex openMutex;
    std::string pendingHost;
    std::string pendingCaFile;
    std::shared_ptr<std::atomic<bool>> pendingFlag;
    std::mutex doneMutex;  // guards loopDone
    std::condition_variable doneCv;
    bool loopDone = false;
};

namespace {

// The TLS context of one connection: peers must present a certificate that chains to the
// system's trusted roots or to `caFile`, and that names `host`.
std::shared_ptr<SslContext> makeContext(const std::shared_ptr<std::atomic<bool>>& refused,
                                        const std::string& host, const std::string& caFile) {
    auto context = std::make_shared<SslContext>(SslContext::tls_client);
    try {
        // Verification is configured first, so that a later failure cannot leave a context
        // that trusts anyone.
        context->set_verify_mode(asio::ssl::verify_peer);
        context->set_verify_callback([refused, check = asio::ssl::host_name_verification(host)](
                                         bool preverified, asio::ssl::verify_context& vc) mutable {
            bool ok = check(preverified, vc);
            if (!ok) refused->store(true, std::memory_order_release);
            return ok;
        });
        context->set_options(SslContext::default_workarounds | SslContext::no_sslv2 |
                             SslContext::no_sslv3 | SslContext::single_dh_use);
        context->set_default_verify_paths();
        if (!caFile.empty()) context->load_verify_file(caFile);
    } catch (const std::exception& e) {
        DebugPrint("Error in context pointer: %s\r\n", e.what());
    }
    return context;
}

}  // namespace

WebsocketEndpoint::WebsocketEndpoint(TextHandler onText)
    : impl_(std::make_unique<Impl>(std::move(onText))) {
    Client& client = impl_->client;
    client.clear_access_channels(websocketpp::log::alevel::all);
    client.clear_error_channels(websocketpp::log::elevel::all);
    websocketpp::lib::error_code ec;
    client.init_asio(ec);
    if (ec) {
        DebugPrint("Websocket initialisation error: %s\r\n", ec.message().c_str());
        impl_->loopDone = true;
        return;
    }
    Impl* impl = impl_.get();
    // Runs inside openConnection's get_connection, on the caller's thread.
    client.set_tls_init_handler([impl](websocketpp::connection_hdl) {
        return makeContext(impl->pendingFlag, impl->pendingHost, impl->pendingCaFile);
    });
    client.start_perpetual();
    impl_->worker = std::thread([impl] { impl->runLoop(); });
}

WebsocketEndpoint::~WebsocketEndpoint() {
    Client& client = impl_->client;
    if (impl_->worker.joinable()) {
        client.stop_perpetual();
        std::map<int32_t, std::shared_ptr<connection_metadata>> table;
        {
            std::lock_guard<std::mutex> lock(impl_->tableMutex);
            table = impl_->table;
        }
        for (const auto& [id, meta] : table) {
            if (meta->status() != "Open") continue;
            DebugPrint("Closing connection %d\r\n", id);
            websocketpp::lib::error_code ec;
            client.close(meta->handle(), websocketpp::close::status::going_away, "", ec);
            if (ec) DebugPrint("Error closing connection %d : %s\r\n", id, ec.message().c_str());
        }
        // A connection still handshaking, or a peer that never answers the close, would keep
        // the loop running for the library's long time-outs: give them a moment, then stop.
        std::unique_lock<std::mutex> lock(impl_->doneMutex);
        if (!impl_->doneCv.wait_for(lock, kShutdownGrace, [this] { return impl_->loopDone; })) {
            client.stop();
        }
        lock.unlock();
        impl_->worker.join();
    }
}

int32_t WebsocketEndpoint::openConnection(const std::string& uri, const std::string& caFile) {
    Client& client = impl_->client;
    auto refused = std::make_shared<std::atomic<bool>>(false);
    websocketpp::lib::error_code ec;
    Client::connection_ptr con;
    {
        std::lock_guard<std::mutex> lock(impl_->openMutex);
        try {
            impl_->pendingHost = websocketpp::uri(uri).get_host();
        } catch (const std::exception&) {
            impl_->pendingHost.clear();  // the connection below fails on the same URI
        }
        impl_->pendingCaFile = caFile;
        impl_->pendingFlag = refused;
        con = client.get_connection(uri, ec);
    }
    if (ec || !con) {
        DebugPrint("Connect initialization error: %s\r\n ", ec.message().c_str());
        return -1;
    }

    std::shared_ptr<connection_metadata> meta;
    {
        std::lock_guard<std::mutex> lock(impl_->tableMutex);
        meta =
            std::make_shared<connection_metadata>(impl_->nextId++, con->get_handle(), uri, refused);
        impl_->table[meta->id()] = meta;
    }
    Impl* impl = impl_.get();
    con->set_open_handler([impl, meta](websocketpp::connection_hdl hdl) {
        websocketpp::lib::error_code e;
        Client::connection_ptr c = impl->client.get_con_from_hdl(hdl, e);
        meta->markOpen(c ? c->get_response_header("Server") : std::string());
    });
    con->set_fail_handler([impl, meta](websocketpp::connection_hdl hdl) {
        websocketpp::lib::error_code e;
        Client::connection_ptr c = impl->client.get_con_from_hdl(hdl, e);
        if (!c) {
            meta->markFailed("", "connection lost");
            return;
        }
        meta->markFailed(c->get_response_header("Server"), c->get_ec().message());
    });
    con->set_close_handler([impl, meta](websocketpp::connection_hdl hdl) {
        websocketpp::lib::error_code e;
        Client::connection_ptr c = impl->client.get_con_from_hdl(hdl, e);
        if (!c) {
            meta->markClosed("");
            return;
        }
        websocketpp::close::status::value code = c->get_remote_close_code();
        meta->markClosed("close code: " + std::to_string(code) + " (" +
                         websocketpp::close::status::get_string(code) +
                         "), close reason: " + c->get_remote_close_reason());
    });
    const int32_t id = meta->id();
    con->set_message_handler([impl, id](websocketpp::connection_hdl, Client::message_ptr message) {
        if (message->get_opcode() == websocketpp::frame::opcode::text && impl->onText) {
            impl->onText(id, message->get_payload());
        }
    });
    client.connect(con);
    return meta->id();
}

void WebsocketEndpoint::closeConnection(int32_t id, uint16_t code, const std::string& reason) {
    std::shared_ptr<connection_metadata> meta = impl_->find(id);
    if (!meta) {
        DebugPrint("No connection found with id %d\r\n", id);
        return;
    }
    websocketpp::lib::error_code ec;
    impl_->client.close(meta->handle(), code, reason, ec);
    if (ec) DebugPrint("Error initiating close: %s\r\n", ec.message().c_str());
}

void WebsocketEndpoint::sendText(int32_t id, const std::string& text) {
    std::shared_ptr<connection_metadata> meta = impl_->find(id);
    if (!meta) {
        DebugPrint("No connection found with id %d\r\n", id);
        return;
    }
    websocketpp::lib::error_code ec;
    impl_->client.send(meta->handle(), text, websocketpp::frame::opcode::text, ec);
    if (ec) DebugPrint("Error sending message: %s\r\n", ec.message().c_str());
}

std::shared_ptr<connection_metadata> WebsocketEndpoint::getMetadata(int32_t id) const {
    return impl_->find(id);
}

}  // namespace corvane
