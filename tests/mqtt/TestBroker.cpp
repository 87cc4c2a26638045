#include "tests/mqtt/TestBroker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/WaitUntil.h"

extern char** environ;

namespace corvane::test {

int freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        port = ntohs(a.sin_port);
    }
    ::close(fd);
    return port;
}

TestBroker::TestBroker(Tls tls) : tls_(std::move(tls)) {
    char folder[] = "/tmp/corvane-broker-XXXXXX";
    if (::mkdtemp(folder) != nullptr) folder_ = folder;
}

TestBroker::~TestBroker() {
    stop();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

std::string TestBroker::url() const {
    return std::string(tls_.on ? "mqtts" : "mqtt") + "://127.0.0.1:" + std::to_string(port_);
}

bool TestBroker::makeCertificates() {
    const std::string f = folder_;
    const bool ip = tls_.certificateHost.find_first_not_of("0123456789.") == std::string::npos;
    {
        std::ofstream ext(f + "/server.ext");
        ext << "subjectAltName=" << (ip ? "IP:" : "DNS:") << tls_.certificateHost << "\n";
    }
    const std::string quiet = " >/dev/null 2>&1";
    const std::string commands[] = {
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=CorvaneTestCA -keyout " + f +
            "/ca.key -out " + f + "/ca.crt",
        "openssl req -newkey rsa:2048 -nodes -subj /CN=" + tls_.certificateHost + " -keyout " + f +
            "/server.key -out " + f + "/server.csr",
        "openssl x509 -req -in " + f + "/server.csr -CA " + f + "/ca.crt -CAkey " + f +
            "/ca.key -CAcreateserial -days 2 -extfile " + f + "/server.ext -out " + f +
            "/server.crt",
    };
    for (const auto& c : commands) {
        if (std::system((c + quiet).c_str()) != 0) return false;
    }
    return true;
}

bool TestBroker::accepting() const {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port_));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

bool TestBroker::start() {
    if (folder_.empty() || pid_ > 0) return false;
    if (tls_.on && !std::filesystem::exists(folder_ + "/server.crt") && !makeCertificates()) {
        return false;
    }
    // A port found free can be taken by someone else before the broker binds it: try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (port_ == 0 || attempt > 0) port_ = freeLoopbackPort();
        const std::string conf = folder_ + "/mosquitto.conf";
        {
            std::ofstream c(conf);
            c << "listener " << port_ << " 127.0.0.1\n"
              << "allow_anonymous " << (passwordRequired_ ? "false" : "true") << "\n"
              << "persistence true\n"
              << "persistence_location " << folder_ << "/\n"
              << "log_dest file " << folder_ << "/broker.log\n";
            // Started as root, the broker would become the user "mosquitto" and could not
            // write its folder: it stays whoever runs the test.
            if (const passwd* me = ::getpwuid(::getuid()); me != nullptr) {
                c << "user " << me->pw_name << "\n";
            }
            if (passwordRequired_) c << "password_file " << folder_ << "/passwords\n";
            if (tls_.on) {
                c << "cafile " << folder_ << "/ca.crt\n"
                  << "certfile " << folder_ << "/server.crt\n"
                  << "keyfile " << folder_ << "/server.key\n";
            }
        }
        const char* argv[] = {"/usr/sbin/mosquitto", "-c", conf.c_str(), nullptr};
        // Its own output (a warning when run as root) goes to its folder, not the test's.
        const std::string output = folder_ + "/broker.out";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int spawned =
            ::posix_spawn(&pid_, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = -1;
            return false;
        }
        const bool up = waitUntil(
            [this] {
                int status = 0;
                if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                    pid_ = -1;  // it gave up: the port was taken
                    return true;
                }
                return accepting();
            },
            std::chrono::seconds(10));
        if (up && pid_ > 0) return true;
        stop();
    }
    return false;
}

bool TestBroker::requirePassword(const std::string& user, const std::string& password) {
    const std::string command = "mosquitto_passwd -b -c " + folder_ + "/passwords " + user + " " +
                                password + " >/dev/null 2>&1";
    passwordRequired_ = std::system(command.c_str()) == 0;
    return passwordRequired_;
}

void TestBroker::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

void TestBroker::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

}  // namespace corvane::test
