// Looking host names up for the network outputs. A lookup blocks for as long
// as the name server takes, which may be for ever: the outputs run it on a
// thread of its own that nothing ever waits for.
#pragma once

#include <asio/ip/address.hpp>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

// Every address of a host name, in the order the system gives them; none
// when the name does not resolve. Blocks.
using HostResolver = std::function<std::vector<asio::ip::address>(const std::string& host)>;

// The system's resolver.
std::vector<asio::ip::address> SystemResolver(const std::string& host);

// Plotters mostly listen on IPv4 only: the first IPv4 address, else the
// first of any kind ("localhost" may give ::1 first).
std::optional<asio::ip::address> PreferIPv4(const std::vector<asio::ip::address>& addresses);

// Starts looking the host up on a detached thread, so that a name server
// that never answers holds up neither a close nor the program's end; done
// gets the addresses on that thread.
void LookUpDetached(const HostResolver& resolver, const std::string& host,
                    std::function<void(std::vector<asio::ip::address>)> done);

}  // namespace kelvane
