#include "output/NetworkThread.h"

#include <asio/post.hpp>

#include <exception>
#include <future>

namespace kelvane {

NetworkThread::NetworkThread()
    : Work(asio::make_work_guard(Io)), Door(std::make_shared<Gate>())
{
    Door->Io = &Io;
    Thread = std::thread([this] {
        // Handlers report their failures themselves (Run hands exceptions
        // back to its caller); one that throws anyway must not end the
        // network for the rest of the run.
        for (;;) {
            try {
                Io.run();
                return;
            } catch (...) {
            }
        }
    });
}

NetworkThread::~NetworkThread()
{
    {
        std::lock_guard lock(Door->Lock);
        Door->Io = nullptr;
    }
    Work.reset();
    Io.stop();
    Thread.join();
}

void NetworkThread::Run(const std::function<void()>& work)
{
    if (OnThisThread()) {
        work();
        return;
    }
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    asio::post(Io, [&work, &done] {
        try {
            work();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    finished.get();
}

NetworkThread::Poster NetworkThread::MakePoster()
{
    return [door = Door](std::function<void()> work) {
        std::lock_guard lock(door->Lock);
        if (door->Io != nullptr)
            asio::post(*door->Io, std::move(work));
    };
}

}  // namespace kelvane
