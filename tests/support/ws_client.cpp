#include "support/ws_client.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

namespace testing_support {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = boost::asio::ip::tcp;

struct WsClient::Impl {
    boost::asio::io_context io;
    std::unique_ptr<websocket::stream<beast::tcp_stream>> stream;
    beast::flat_buffer buffer;
};

WsClient::WsClient() : impl_(std::make_unique<Impl>()) {}

WsClient::~WsClient() {
    Close();
}

bool WsClient::Connect(int port, const std::string& target, const std::string& origin) {
    impl_->stream = std::make_unique<websocket::stream<beast::tcp_stream>>(impl_->io);
    // Send the header as browsers spell it ("Upgrade"); Beast writes it in lower case.
    impl_->stream->set_option(
        websocket::stream_base::decorator([origin](websocket::request_type& request) {
            request.set(beast::http::field::connection, "Upgrade");
            if (!origin.empty()) request.set(beast::http::field::origin, origin);
        }));
    beast::error_code error;
    tcp::endpoint endpoint(boost::asio::ip::make_address("127.0.0.1"),
                           static_cast<unsigned short>(port));
    beast::get_lowest_layer(*impl_->stream).expires_after(std::chrono::seconds(10));
    beast::get_lowest_layer(*impl_->stream).connect(endpoint, error);
    if (!error) impl_->stream->handshake("127.0.0.1:" + std::to_string(port), target, error);
    if (error) {
        error_ = error.message();
        return false;
    }
    beast::get_lowest_layer(*impl_->stream).expires_never();
    impl_->stream->text(true);
    return true;
}

bool WsClient::Send(const std::string& text) {
    if (!impl_->stream) return false;
    beast::error_code error;
    impl_->stream->write(boost::asio::buffer(text), error);
    if (error) error_ = error.message();
    return !error;
}

std::optional<std::string> WsClient::Receive(std::chrono::milliseconds timeout) {
    if (!impl_->stream) return std::nullopt;
    impl_->buffer.clear();
    beast::error_code result = boost::asio::error::would_block;
    impl_->stream->async_read(impl_->buffer,
                              [&](beast::error_code error, std::size_t) { result = error; });
    impl_->io.restart();
    impl_->io.run_for(timeout);
    if (result == boost::asio::error::would_block) {
        // Time-out: abandon the read by closing the socket; the stream is
        // unusable afterwards.
        beast::get_lowest_layer(*impl_->stream).socket().close();
        impl_->io.restart();
        impl_->io.run();
        impl_->stream.reset();
        error_ = "timeout";
        return std::nullopt;
    }
    if (result) {
        error_ = result.message();
        return std::nullopt;
    }
    return beast::buffers_to_string(impl_->buffer.data());
}

bool WsClient::WaitClosed(std::chrono::milliseconds timeout) {
    auto message = Receive(timeout);
    return !message && error_ != "timeout";
}

bool WsClient::CloseHandshake(int code) {
    if (!impl_->stream) return false;
    beast::error_code error;
    beast::get_lowest_layer(*impl_->stream).expires_after(std::chrono::seconds(5));
    impl_->stream->close(websocket::close_reason(static_cast<uint16_t>(code)), error);
    if (error) error_ = error.message();
    Close();
    return !error;
}

void WsClient::Close() {
    if (!impl_->stream) return;
    beast::error_code ignored;
    beast::get_lowest_layer(*impl_->stream).socket().close(ignored);
    impl_->stream.reset();
}

}  // namespace testing_support
