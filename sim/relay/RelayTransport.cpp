// Built as C++17: the websocket library does not compile as C++20. Every include of it in the
// relay stays in this file.
#include "sim/relay/RelayTransport.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>
#include <websocketpp/config/asio.hpp>
#include <websocketpp/server.hpp>

namespace corvane::sim {

namespace {

using Server = websocketpp::server<websocketpp::config::asio_tls>;
using SslContext = asio::ssl::context;
using Handle = websocketpp::connection_hdl;

constexpr auto kStopGrace = std::chrono::seconds(1);
constexpr const char* kServerName = "corvane-relay";

std::shared_ptr<SslContext> serverContext(const RelayTransport::Tls& tls) {
    auto context = std::make_shared<SslContext>(SslContext::tls_server);
    try {
        context->set_options(SslContext::default_workarounds | SslContext::no_sslv2 |
                             SslContext::no_sslv3 | SslContext::single_dh_use);
        context->use_certificate_chain(asio::buffer(tls.certificatePem));
        context->use_private_key(asio::buffer(tls.keyPem), SslContext::pem);
    } catch (const std::exception&) {
        // A context without a certificate fails every handshake, which is the right answer.
    }
    return context;
}

// One TLS server and the thread running its loop.
struct Worker {
    Server server;
    std::thread thread;
    std::mutex doneMutex;  // guards done
    std::condition_variable doneCv;
    bool done = false;

    bool listen(uint16_t port, std::string& error) {
        websocketpp::lib::error_code ec;
        server.clear_access_channels(websocketpp::log::alevel::all);
        server.clear_error_channels(websocketpp::log::elevel::all);
        server.set_user_agent(kServerName);
        server.set_reuse_addr(true);
        // A client that drops the connection without finishing the close is forgotten soon.
        server.set_close_handshake_timeout(1000);
        server.init_asio(ec);
        if (!ec) {
            server.listen(asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), port), ec);
        }
        if (!ec) server.start_accept(ec);
        if (ec) {
            error = ec.message();
            return false;
        }
        thread = std::thread([this] {
            for (;;) {
                try {
                    server.run();
                    break;
                } catch (const std::exception&) {
                }
            }
            std::lock_guard<std::mutex> lock(doneMutex);
            done = true;
            doneCv.notify_all();
        });
        return true;
    }

    uint16_t port() {
        websocketpp::lib::error_code ec;
        auto endpoint = server.get_local_endpoint(ec);
        return ec ? 0 : endpoint.port();
    }

    void stop() {
        if (!thread.joinable()) return;
        websocketpp::lib::error_code ec;
        server.stop_listening(ec);
        std::unique_lock<std::mutex> lock(doneMutex);
        if (!doneCv.wait_for(lock, kStopGrace, [this] { return done; })) server.stop();
        lock.unlock();
        thread.join();
    }
};

}  // namespace

struct RelayTransport::Impl {
    explicit Impl(Handlers h) : handlers(std::move(h)) {}

    Handlers handlers;
    Worker login;
    Worker stream;

    std::mutex linkMutex;  // guards links, linkIds and nextLink
    std::map<int32_t, Handle> links;
    std::map<Handle, int32_t, std::owner_less<Handle>> linkIds;
    int32_t nextLink = 0;

    std::mutex holdMutex;  // guards held and stopping
    std::condition_variable holdCv;
    bool held = false;
    bool stopping = false;

    int32_t linkOf(const Handle& hdl) {
        std::lock_guard<std::mutex> lock(linkMutex);
        auto it = linkIds.find(hdl);
        return it == linkIds.end() ? -1 : it->second;
    }

    void forget(const Handle& hdl) {
        int32_t id = -1;
        {
            std::lock_guard<std::mutex> lock(linkMutex);
            auto it = linkIds.find(hdl);
            if (it == linkIds.end()) return;
            id = it->second;
            links.erase(id);
            linkIds.erase(it);
        }
        if (handlers.onClose) handlers.onClose(id);
    }
};

RelayTransport::RelayTransport(Handlers handlers)
    : impl_(std::make_unique<Impl>(std::move(handlers))) {}

RelayTransport::~RelayTransport() {
    // Stopping may throw (threads, asio); a destructor must not, and at this point there is
    // nobody left to tell.
    try {
        stop();
    } catch (...) {
    }
}

bool RelayTransport::start(const Tls& login, uint16_t loginPort, const Tls& stream,
                           uint16_t streamPort, std::string& error) {
    Impl* impl = impl_.get();
    Server& web = impl->login.server;
    web.set_tls_init_handler([login](const Handle&) { return serverContext(login); });
    web.set_validate_handler(
        [](const Handle&) { return false; });  // no websockets on the login port
    web.set_http_handler([impl](const Handle& hdl) {
        websocketpp::lib::error_code ec;
        Server::connection_ptr con = impl->login.server.get_con_from_hdl(hdl, ec);
        if (!con) return;
        HttpAnswer answer;
        if (impl->handlers.onGet) answer = impl->handlers.onGet(con->get_resource());
        con->set_status(static_cast<websocketpp::http::status_code::value>(answer.status));
        con->append_header("Content-Type", "application/json");
        con->set_body(answer.body);
    });

    Server& ws = impl->stream.server;
    ws.set_tls_init_handler([stream](const Handle&) { return serverContext(stream); });
    ws.set_validate_handler([impl](const Handle&) {
        std::unique_lock<std::mutex> lock(impl->holdMutex);
        impl->holdCv.wait(lock, [impl] { return !impl->held || impl->stopping; });
        return !impl->stopping;
    });
    ws.set_open_handler([impl](const Handle& hdl) {
        int32_t id;
        {
            std::lock_guard<std::mutex> lock(impl->linkMutex);
            id = impl->nextLink++;
            impl->links[id] = hdl;
            impl->linkIds[hdl] = id;
        }
        if (impl->handlers.onOpen) impl->handlers.onOpen(id);
    });
    ws.set_close_handler([impl](const Handle& hdl) { impl->forget(hdl); });
    ws.set_fail_handler([impl](const Handle& hdl) { impl->forget(hdl); });
    ws.set_message_handler([impl](const Handle& hdl, Server::message_ptr message) {
        if (message->get_opcode() != websocketpp::frame::opcode::text) return;
        int32_t id = impl->linkOf(hdl);
        if (id >= 0 && impl->handlers.onText) impl->handlers.onText(id, message->get_payload());
    });

    if (!impl->login.listen(loginPort, error)) return false;
    if (!impl->stream.listen(streamPort, error)) {
        impl->login.stop();
        return false;
    }
    return true;
}

void RelayTransport::stop() {
    {
        std::lock_guard<std::mutex> lock(impl_->holdMutex);
        impl_->stopping = true;
    }
    impl_->holdCv.notify_all();
    closeAll("relay stopping");
    impl_->login.stop();
    impl_->stream.stop();
}

uint16_t RelayTransport::loginPort() const { return impl_->login.port(); }
uint16_t RelayTransport::streamPort() const { return impl_->stream.port(); }

void RelayTransport::holdHandshakes(bool hold) {
    {
        std::lock_guard<std::mutex> lock(impl_->holdMutex);
        impl_->held = hold;
    }
    impl_->holdCv.notify_all();
}

void RelayTransport::sendText(int32_t link, const std::string& text) {
    Handle hdl;
    {
        std::lock_guard<std::mutex> lock(impl_->linkMutex);
        auto it = impl_->links.find(link);
        if (it == impl_->links.end()) return;
        hdl = it->second;
    }
    websocketpp::lib::error_code ec;
    impl_->stream.server.send(hdl, text, websocketpp::frame::opcode::text, ec);
}

void RelayTransport::closeAll(const std::string& reason) {
    std::vector<Handle> handles;
    {
        std::lock_guard<std::mutex> lock(impl_->linkMutex);
        for (const auto& [id, hdl] : impl_->links) handles.push_back(hdl);
    }
    for (const Handle& hdl : handles) {
        websocketpp::lib::error_code ec;
        impl_->stream.server.close(hdl, websocketpp::close::status::normal, reason, ec);
    }
}

}  // namespace corvane::sim
