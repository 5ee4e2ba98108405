// Function 43/14: the objects a device streams or picks by category and id, the split of a
// long stream, conformity, refusals, and the master's checks of an answer.
#include <gtest/gtest.h>

#include "protocol/FunctionTable.h"
#include "protocol/functions/EncapsulatedInterface.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::Bytes;
using protocol::Role;

Bytes Pdu(std::initializer_list<std::uint8_t> header, const std::string& text = "") {
    Bytes pdu(header);
    pdu.insert(pdu.end(), text.begin(), text.end());
    return pdu;
}

CExampleModel Basic() {
    CExampleModel model;
    model.identity.objects = {{0, "Ab"}, {1, "Cde"}, {2, "1.1"}};
    return model;
}

TEST(DeviceIdentification, StreamsOrPicksTheBasicObjects) {
    const Bytes all = Pdu({43, 14, 1, 0x81, 0, 0, 3, 0, 2},
                          "Ab\x01\x03"
                          "Cde\x02\x03"
                          "1.1");
    const std::pair<Bytes, Bytes> cases[] = {
        {{43, 14, 1, 0}, all},
        {{43, 14, 1, 9}, all},  // no object 9: from the first
        {{43, 14, 2, 1},
         Pdu({43, 14, 2, 0x81, 0, 0, 2, 1, 3},
             "Cde\x02\x03"
             "1.1")},
        {{43, 14, 2, 3},
         Pdu({43, 14, 2, 0x81, 0, 0, 3, 0, 2},
             "Ab\x01\x03"
             "Cde\x02\x03"
             "1.1")},
        {{43, 14, 4, 1}, Pdu({43, 14, 4, 0x81, 0, 0, 1, 1, 3}, "Cde")},
        {{43, 14, 4, 3}, {0xAB, 2}},
        {{43, 13, 1, 0}, {0xAB, 1}},
        {{43, 14, 5, 0}, {0xAB, 3}},
        {{43, 14, 0, 0}, {0xAB, 3}},
        {{43, 14, 1}, {0xAB, 3}},
        {{43, 14, 1, 0, 0}, {0xAB, 3}},
        {{43}, {0xAB, 3}},
    };
    for (const auto& [request, answer] : cases) {
        CExampleModel model = Basic();
        EXPECT_EQ(protocol::ServeRequest(request, model, 1), answer)
            << ::testing::PrintToString(request);
    }
}

TEST(DeviceIdentification, CategoriesSetTheConformityAndBoundTheStream) {
    CExampleModel model = Basic();
    model.identity.objects.push_back({4, "Prod"});
    EXPECT_EQ(protocol::ServeRequest(Bytes{43, 14, 1, 0}, model, 1)->at(3), 0x82);
    EXPECT_EQ(protocol::ServeRequest(Bytes{43, 14, 2, 4}, model, 1),
              Pdu({43, 14, 2, 0x82, 0, 0, 1, 4, 4}, "Prod"));
    EXPECT_EQ(protocol::ServeRequest(Bytes{43, 14, 2, 3}, model, 1)->at(6), 4);  // no 3
    model.identity.objects.push_back({0x80, "SN"});
    const auto extended = protocol::ServeRequest(Bytes{43, 14, 3, 0x80}, model, 1);
    EXPECT_EQ(extended, Pdu({43, 14, 3, 0x83, 0, 0, 1, 0x80, 2}, "SN"));
    // Regular stops before the extended ones, basic before the regular.
    EXPECT_EQ(protocol::ServeRequest(Bytes{43, 14, 2, 0}, model, 1)->at(6), 4);
    EXPECT_EQ(protocol::ServeRequest(Bytes{43, 14, 1, 4}, model, 1)->at(6), 3);
    EXPECT_EQ(protocol::ServeRequest(Bytes{43, 14, 4, 0x80}, model, 1)->size(), 11u);
    model.identity.individualAccess = false;
    EXPECT_EQ(protocol::ServeRequest(Bytes{43, 14, 3, 0x80}, model, 1)->at(3), 0x03);
    EXPECT_EQ(protocol::ServeRequest(Bytes{43, 14, 4, 0}, model, 1), (Bytes{0xAB, 3}));
}

TEST(DeviceIdentification, ALongStreamSplitsAtTheLargestAnswer) {
    CExampleModel model;
    const std::string longest(244, 'x');
    model.identity.objects = {{0, longest}, {1, longest}, {2, longest}};
    for (const std::uint8_t id : {0, 1, 2}) {
        const auto answer = protocol::ServeRequest(Bytes{43, 14, 1, id}, model, 1);
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->size(), 253u);
        const std::uint8_t more = id < 2 ? 0xFF : 0;
        EXPECT_EQ(Bytes(answer->begin() + 4, answer->begin() + 9),
                  (Bytes{more, static_cast<std::uint8_t>(more & (id + 1)), 1, id, 244}));
    }
    // One object too long for any answer goes cut rather than stall the stream.
    model.identity.objects[0].second = std::string(300, 'y');
    const auto cut = protocol::ServeRequest(Bytes{43, 14, 1, 0}, model, 1);
    EXPECT_EQ(cut->size(), 253u);
    EXPECT_EQ(cut->at(4), 0xFF);
    EXPECT_EQ(cut->at(5), 1);
}

TEST(DeviceIdentification, TheMasterReadsOnlyAnswersThatAddUp) {
    const auto read = protocol::ReadDeviceIdAnswer(
        Bytes{43, 14, 1, 0x81, 0xFF, 2, 2, 0, 4, 'A', 'c', 'm', 'e', 1, 0});
    ASSERT_TRUE(read);
    EXPECT_EQ(read->conformity, 0x81);
    EXPECT_TRUE(read->moreFollows);
    EXPECT_EQ(read->nextObjectId, 2);
    ASSERT_EQ(read->objects.size(), 2u);
    EXPECT_EQ(read->objects[0].second, "Acme");
    EXPECT_EQ(read->objects[1], (std::pair<std::uint8_t, std::string>{1, ""}));
    EXPECT_EQ(protocol::BuildDeviceIdAnswer(*read),
              (Bytes{43, 14, 1, 0x81, 0xFF, 2, 2, 0, 4, 'A', 'c', 'm', 'e', 1, 0}));
    const Bytes bad[] = {
        {43, 14, 1, 1, 0, 0, 2, 0, 1, 'A'},       // two objects announced, one there
        {43, 14, 1, 1, 0, 0, 1, 0, 5, 'A'},       // length past the end
        {43, 14, 1, 1, 0, 0, 1, 0, 1, 'A', 'B'},  // bytes left over
        {43, 13, 1, 1, 0, 0, 0},                  // MEI
        {43, 14, 1, 1, 0, 0},                     // short
    };
    for (const Bytes& pdu : bad) {
        std::string why;
        EXPECT_FALSE(protocol::ReadDeviceIdAnswer(pdu, &why)) << ::testing::PrintToString(pdu);
        EXPECT_NE(why, "");
    }
    EXPECT_EQ(protocol::BuildDeviceIdRequest({4, 2}), (Bytes{43, 14, 4, 2}));
}

TEST(DeviceIdentification, LengthsWalkTheObjects) {
    EXPECT_EQ(protocol::LengthOf(Role::Request, Bytes{43}).fit, protocol::PduLength::Fit::NeedMore);
    EXPECT_EQ(protocol::LengthOf(Role::Request, Bytes{43, 14}).length, 4u);
    EXPECT_EQ(protocol::LengthOf(Role::Request, Bytes{43, 13}).fit,
              protocol::PduLength::Fit::Unknown);
    const auto partial = protocol::LengthOf(Role::Answer, Bytes{43, 14, 1, 1, 0, 0, 2, 0, 3});
    EXPECT_EQ(partial.fit, protocol::PduLength::Fit::NeedMore);
    EXPECT_EQ(partial.length, 14u);
    EXPECT_EQ(protocol::LengthOf(Role::Answer, Bytes{43, 14, 1, 1, 0, 0, 1, 0, 2, 'a'}).length,
              11u);
    Bytes tooLong{43, 14, 1, 1, 0, 0, 2, 0, 0xFF};
    tooLong.resize(7 + 2 + 0xFF, 'z');
    tooLong.push_back(1);
    EXPECT_EQ(protocol::LengthOf(Role::Answer, tooLong).fit, protocol::PduLength::Fit::None);
}

TEST(DeviceIdentification, DescribesCodeObjectsAndEscapesText) {
    const auto request = protocol::DescribePdu(Role::Request, Bytes{43, 14, 1, 0});
    ASSERT_EQ(request.fields.size(), 2u);
    EXPECT_EQ(request.fields[1].name, "object");
    const auto answer =
        protocol::DescribePdu(Role::Answer, Pdu({43, 14, 1, 0x82, 0xFF, 1, 1, 0, 4}, "A\tb\\"));
    ASSERT_EQ(answer.fields.size(), 5u);
    EXPECT_EQ(answer.fields[1].value, "0x0082");
    EXPECT_EQ(answer.fields[2].value, "yes");
    EXPECT_EQ(answer.fields[3].value, "1");
    EXPECT_EQ(answer.fields[4].name, "object 0");
    EXPECT_EQ(answer.fields[4].value, "A\\x09b\\x5C");
    const auto other = protocol::DescribePdu(Role::Request, Bytes{43, 13, 1, 2, 3});
    EXPECT_EQ(other.malformed, "");
    ASSERT_EQ(other.fields.size(), 1u);
    EXPECT_EQ(other.fields[0].value, "13");
}

}  // namespace
