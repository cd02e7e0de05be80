// The thread the TCP outputs live on. Their sockets are served here, never on
// the thread that decodes: a client that connects is accepted at once, even
// while a block of audio is being decoded or the program waits for input, and
// a slow or stalled peer never holds up reception.
#pragma once

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kelvane {

class NetworkThread {
public:
    // Starts the thread; the destructor stops and joins it. Whatever uses
    // the thread must be closed before it goes.
    NetworkThread();
    ~NetworkThread();
    NetworkThread(const NetworkThread&) = delete;
    NetworkThread& operator=(const NetworkThread&) = delete;

    asio::io_context& Context() { return Io; }

    // Runs the work on the network thread and returns once it has run,
    // after everything posted before it; an exception it throws comes back
    // here. Called on the network thread itself, it runs the work at once.
    void Run(const std::function<void()>& work);
    bool OnThisThread() const { return std::this_thread::get_id() == Thread.get_id(); }

    // Posts work to the thread from a thread that may outlive it (a name
    // lookup that never ends): once the network thread has stopped, what is
    // posted is dropped.
    using Poster = std::function<void(std::function<void()>)>;
    Poster MakePoster();

private:
    struct Gate {
        std::mutex Lock;
        asio::io_context* Io = nullptr;
    };

    asio::io_context Io;
    asio::executor_work_guard<asio::io_context::executor_type> Work;
    std::shared_ptr<Gate> Door;
    std::thread Thread;
};

}  // namespace kelvane
