#include <gtest/gtest.h>
#include <mosquitto.h>

#include <cerrno>

#include "tools/mqtt/MosquittoText.h"

namespace {

TEST(MosquittoText, Words) {
    EXPECT_EQ(mqtt::ConnackWords(5), "not authorised");
    EXPECT_EQ(mqtt::ConnackWords(4), "bad user name or password");
    EXPECT_EQ(mqtt::ConnackWords(200), "unknown reason");
    EXPECT_EQ(mqtt::ResultWords(MOSQ_ERR_ERRNO, ECONNREFUSED), "Connection refused");
    EXPECT_EQ(mqtt::ResultWords(MOSQ_ERR_CONN_LOST, 0), "connection lost");
    EXPECT_EQ(mqtt::ResultWords(MOSQ_ERR_KEEPALIVE, 0), "no answer within the keep-alive time");
    EXPECT_EQ(mqtt::LogLineWords("Error: host name verification failed."),
              "host name verification failed");
    EXPECT_EQ(mqtt::LogLineWords(
                  "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"),
              "certificate verify failed");
}

}  // namespace
