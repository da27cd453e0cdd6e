#include "LoopbackServer.h"

#include <chrono>
#include <stdexcept>

LoopbackServer::LoopbackServer() {
    FServer.set_tcp_nodelay(true);
    FServer.set_keep_alive_timeout(1);
    FServer.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        Reply reply;
        {
            std::lock_guard lock(FMutex);
            FLastTarget = req.target;
            auto it = FReplies.find(req.path);
            reply = it == FReplies.end() ? FReply : it->second;
            ++FCounts[req.path];
        }
        ++FCount;
        if (reply.silent) {
            std::unique_lock lock(FMutex);
            FWake.wait(lock, [this] { return FStopping; });
            return;
        }
        res.status = reply.status;
        if (reply.trickleMs > 0) {
            auto body = std::make_shared<std::string>(std::move(reply.body));
            res.set_content_provider(body->size(), reply.contentType,
                                     [this, body, pause = reply.trickleMs](
                                         size_t offset, size_t, httplib::DataSink& sink) {
                                         std::unique_lock lock(FMutex);
                                         if (FWake.wait_for(lock, std::chrono::milliseconds(pause),
                                                            [this] { return FStopping; }))
                                             return false;
                                         lock.unlock();
                                         return sink.write(body->data() + offset, 1);
                                     });
            return;
        }
        if (!reply.burstsAtMs.empty()) {
            auto body = std::make_shared<std::string>(std::move(reply.body));
            auto start = std::chrono::steady_clock::now();
            res.set_chunked_content_provider(
                reply.contentType, [this, body, start, at = reply.burstsAtMs, sent = size_t{0}](
                                       size_t, httplib::DataSink& sink) mutable {
                    if (sent == at.size()) {
                        sink.done();
                        return true;
                    }
                    std::unique_lock lock(FMutex);
                    if (FWake.wait_until(lock, start + std::chrono::milliseconds(at[sent]),
                                         [this] { return FStopping; }))
                        return false;
                    lock.unlock();
                    size_t piece = body->size() / at.size(), from = sent * piece;
                    size_t n = ++sent == at.size() ? body->size() - from : piece;
                    return sink.write(body->data() + from, n);
                });
            return;
        }
        if (!reply.chunked) {
            res.set_content(reply.body, reply.contentType.c_str());
            return;
        }
        std::shared_ptr<const std::string> body =
            reply.shared ? reply.shared : std::make_shared<std::string>(std::move(reply.body));
        res.set_chunked_content_provider(
            reply.contentType, [body](size_t offset, httplib::DataSink& sink) {
                size_t n = std::min<size_t>(64 * 1024, body->size() - offset);
                if (n == 0) {
                    sink.done();
                    return true;
                }
                return sink.write(body->data() + offset, n);
            });
    });
    FPort = FServer.bind_to_any_port("127.0.0.1");
    if (FPort <= 0) throw std::runtime_error("cannot bind a loopback port");
    FThread = std::thread([this] { FServer.listen_after_bind(); });
    while (!FServer.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(FMutex);
        FStopping = true;
    }
    FWake.notify_all();
    FServer.stop();
    FThread.join();
}

void LoopbackServer::SetReply(Reply reply) {
    std::lock_guard lock(FMutex);
    FReply = std::move(reply);
}

void LoopbackServer::SetBody(std::string body, std::string contentType) {
    Reply reply;
    reply.body = std::move(body);
    reply.contentType = std::move(contentType);
    SetReply(std::move(reply));
}

std::string LoopbackServer::LastTarget() const {
    std::lock_guard lock(FMutex);
    return FLastTarget;
}

void LoopbackServer::SetReplyFor(const std::string& path, Reply reply) {
    std::lock_guard lock(FMutex);
    FReplies[path] = std::move(reply);
}

int LoopbackServer::RequestCountFor(const std::string& path) const {
    std::lock_guard lock(FMutex);
    auto it = FCounts.find(path);
    return it == FCounts.end() ? 0 : it->second;
}
