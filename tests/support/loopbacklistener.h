#pragma once
// A loopback port for tests that must show that nothing goes out on the network, and a VRT that
// would read its pixels from a given file or URL.
#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace testsupport {

/// A loopback TCP port that counts the connections made to it (each closed at once, so that no
/// client waits for an answer).
class LoopbackListener {
public:
    LoopbackListener()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(::bind(m_socket, reinterpret_cast<sockaddr *>(&address), length), 0);
        EXPECT_EQ(::listen(m_socket, 8), 0);
        ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            while (!m_stop) {
                pollfd p{m_socket, POLLIN, 0};
                if (::poll(&p, 1, 20) == 1) {
                    const int client = ::accept(m_socket, nullptr, nullptr);
                    if (client >= 0) {
                        ++m_connections;
                        ::close(client);
                    }
                }
            }
        });
    }
    ~LoopbackListener()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_socket);
    }
    QString url(const QString &file) const { return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(file); }
    /// Connections so far; a request made before this call has been counted (the client waits
    /// until its connection is closed).
    int connections() const { return m_connections; }

private:
    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};

/// A VRT of one 8 × 8 byte band read straight from source, which may be any file or URL.
inline QByteArray rawVrt(const QString &source)
{
    return QStringLiteral("<VRTDataset rasterXSize=\"8\" rasterYSize=\"8\">\n"
                          "  <VRTRasterBand dataType=\"Byte\" band=\"1\" subClass=\"VRTRawRasterBand\">\n"
                          "    <SourceFilename relativeToVRT=\"0\">%1</SourceFilename>\n"
                          "    <ImageOffset>0</ImageOffset><PixelOffset>1</PixelOffset><LineOffset>8</LineOffset>\n"
                          "  </VRTRasterBand>\n"
                          "</VRTDataset>\n")
        .arg(source)
        .toUtf8();
}

}   // namespace testsupport
