#include "tools/slave/ControlSocket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <vector>

#include "tools/slave/ControlClient.h"

namespace slave {
namespace {

using namespace std::chrono_literals;

// A plain client, for what SendControlCommand never does: several lines on one connection.
class CRawClient {
public:
    explicit CRawClient(const std::string& path) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const timeval bound{5, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    }
    ~CRawClient() { ::close(m_fd); }
    void Write(const std::string& text) {
        EXPECT_EQ(::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(text.size()));
    }
    // What arrives until count LFs or the end of the stream.
    std::string Read(int count) {
        std::string text;
        char c = 0;
        while (count > 0 && ::recv(m_fd, &c, 1, 0) == 1) {
            text.push_back(c);
            count -= c == '\n' ? 1 : 0;
        }
        return text;
    }
    bool AtEnd() {
        char c = 0;
        return ::recv(m_fd, &c, 1, 0) <= 0;
    }

private:
    int m_fd = -1;
};

class ControlSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/vornak-control-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        m_folder = folder;
        m_path = m_folder + "/control";
        ASSERT_EQ(::pipe(m_stop), 0);
    }
    void TearDown() override {
        Stop();
        m_socket.Close();
        ::close(m_stop[0]);
        ::close(m_stop[1]);
        std::filesystem::remove_all(m_folder);
    }
    void Start() {
        std::string error;
        ASSERT_TRUE(m_socket.Open(m_path, error)) << error;
        m_run = std::async(std::launch::async, [this] {
            m_socket.Run(m_stop[0], [](std::string_view line) {
                return "ok " + std::string(line) + (line == "two" ? "\nlines" : "");
            });
        });
    }
    void Stop() {
        if (m_run.valid()) {
            ASSERT_EQ(::write(m_stop[1], "x", 1), 1);
            EXPECT_EQ(m_run.wait_for(5s), std::future_status::ready);
            m_run.get();
        }
    }
    std::string Send(const std::string& command) {
        std::string answer;
        std::string error;
        EXPECT_TRUE(SendControlCommand(m_path, command, answer, error)) << error;
        return answer;
    }

    std::string m_folder;
    std::string m_path;
    int m_stop[2] = {-1, -1};
    CControlSocket m_socket;
    std::future<void> m_run;
};

TEST_F(ControlSocketTest, AnswersEachLineInOrder) {
    Start();
    EXPECT_EQ(Send("units"), "ok units");
    EXPECT_EQ(Send("two"), "ok two lines");
    CRawClient client(m_path);
    client.Write("a\r\nb\n");
    EXPECT_EQ(client.Read(2), "ok a\nok b\n");
    client.Write("get 1 ");
    client.Write("x\n\n");
    EXPECT_EQ(client.Read(2), "ok get 1 x\nok \n");
}

TEST_F(ControlSocketTest, SocketIsTheOwnersAloneAndCloseRemovesIt) {
    Start();
    struct stat found {};
    ASSERT_EQ(::stat(m_path.c_str(), &found), 0);
    EXPECT_TRUE(S_ISSOCK(found.st_mode));
    EXPECT_EQ(found.st_mode & 0777, 0600u);
    Stop();
    m_socket.Close();
    EXPECT_FALSE(std::filesystem::exists(m_path));
}

TEST_F(ControlSocketTest, CloseLeavesWhatReplacedTheSocket) {
    Start();
    Stop();
    ASSERT_EQ(::unlink(m_path.c_str()), 0);
    std::ofstream(m_path) << "theirs";
    m_socket.Close();
    EXPECT_TRUE(std::filesystem::exists(m_path));
}

TEST_F(ControlSocketTest, RefusesAndLeavesARegularFile) {
    std::ofstream(m_path) << "keep";
    std::string error;
    EXPECT_FALSE(m_socket.Open(m_path, error));
    EXPECT_EQ(error, "cannot open control socket " + m_path + ": it exists and is not a socket");
    std::ifstream file(m_path);
    std::string text;
    file >> text;
    EXPECT_EQ(text, "keep");
}

TEST_F(ControlSocketTest, RefusesAPathTooLongForASocket) {
    std::string error;
    EXPECT_FALSE(m_socket.Open(m_folder + "/" + std::string(200, 'p'), error));
    EXPECT_EQ(error, "the control socket path is " + std::to_string(m_folder.size() + 201) +
                         " bytes long; at most 107 fit");
}

TEST_F(ControlSocketTest, ReplacesAStaleSocket) {
    // A run that crashed: its socket stays, nobody accepts on it.
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, m_path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(stale);
    Start();
    EXPECT_EQ(Send("help"), "ok help");
}

TEST_F(ControlSocketTest, RefusesASocketInUse) {
    Start();
    CControlSocket second;
    std::string error;
    EXPECT_FALSE(second.Open(m_path, error));
    EXPECT_EQ(error,
              "cannot open control socket " + m_path + ": in use by another running process");
    EXPECT_EQ(Send("units"), "ok units");
}

TEST_F(ControlSocketTest, TooLongLineClosesOnlyThatClient) {
    Start();
    CRawClient other(m_path);
    CRawClient flooder(m_path);
    flooder.Write("a\n" + std::string(CControlSocket::kMaxLine + 1, 'x') + "\n");
    EXPECT_EQ(flooder.Read(2), "ok a\nerror: line too long\n");
    EXPECT_TRUE(flooder.AtEnd());
    // Exactly the longest line, split before its CR LF, is still one.
    other.Write(std::string(CControlSocket::kMaxLine, 'y') + "\r");
    other.Write("\n");
    EXPECT_EQ(other.Read(1), "ok " + std::string(CControlSocket::kMaxLine, 'y') + "\n");
    EXPECT_EQ(Send("units"), "ok units");
}

TEST_F(ControlSocketTest, NinthClientIsToldAndClosed) {
    Start();
    std::vector<std::unique_ptr<CRawClient>> clients;
    for (std::size_t i = 0; i < CControlSocket::kMaxClients; ++i) {
        clients.push_back(std::make_unique<CRawClient>(m_path));
        clients.back()->Write("units\n");
        EXPECT_EQ(clients.back()->Read(1), "ok units\n");
    }
    EXPECT_EQ(Send("units"), "error: too many control clients");
    clients.pop_back();
    // The freed place is taken back once the hang-up is read.
    std::string answer;
    std::string error;
    for (int i = 0; i < 100 && answer != "ok units"; ++i) {
        EXPECT_TRUE(SendControlCommand(m_path, "units", answer, error)) << error;
    }
    EXPECT_EQ(answer, "ok units");
}

TEST_F(ControlSocketTest, ClientSaysWhyItGotNoAnswer) {
    std::string answer;
    std::string error;
    const std::string missing = m_folder + "/none";
    EXPECT_FALSE(SendControlCommand(missing, "units", answer, error));
    EXPECT_EQ(error, "cannot connect to " + missing + ": No such file or directory");
    EXPECT_FALSE(SendControlCommand(missing, "a\nb", answer, error));
    EXPECT_EQ(error, "a control command is one line");
    // Opened and never served: the kernel accepts, nobody answers.
    ASSERT_TRUE(m_socket.Open(m_path, error)) << error;
    EXPECT_FALSE(SendControlCommand(m_path, "units", answer, error, 200ms));
    EXPECT_EQ(error, "no answer from " + m_path + " within 200 ms");
}

}  // namespace
}  // namespace slave
