#include "output/HostLookup.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <algorithm>
#include <thread>

namespace kelvane {

std::vector<asio::ip::address> SystemResolver(const std::string& host)
{
    // Resolved here, on the calling thread: asio's own asynchronous lookups
    // run on a thread that is joined when the network stops, and would hold
    // the program's end up behind a dead name server.
    asio::io_context io;
    asio::ip::tcp::resolver resolver(io);
    asio::error_code error;
    const auto results = resolver.resolve(host, "", asio::ip::resolver_base::flags(), error);
    std::vector<asio::ip::address> addresses;
    if (error)
        return addresses;
    for (const auto& entry : results) {
        const asio::ip::address address = entry.endpoint().address();
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    return addresses;
}

std::optional<asio::ip::address> PreferIPv4(const std::vector<asio::ip::address>& addresses)
{
    for (const asio::ip::address& address : addresses)
        if (address.is_v4())
            return address;
    if (addresses.empty())
        return std::nullopt;
    return addresses.front();
}

void LookUpDetached(const HostResolver& resolver, const std::string& host,
                    std::function<void(std::vector<asio::ip::address>)> done)
{
    std::thread([resolver, host, done = std::move(done)] { done(resolver(host)); }).detach();
}

}  // namespace kelvane
