#include <gtest/gtest.h>

#include "protocol/FunctionTable.h"
#include "protocol/functions/WriteFileRecord.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::Bytes;
using protocol::FileWrite;
using protocol::Role;
using protocol::Words;

struct BadPdu {
    const char* name;
    Bytes pdu;
};

CExampleModel ModelWithFile4() {
    CExampleModel model;
    for (std::uint16_t record = 0; record < 16; ++record) {
        model.fileRecords[{4, record}] = record;
    }
    return model;
}

TEST(WriteFileRecord, RequestAndAnswerRoundTrip) {
    const std::vector<FileWrite> writes{{4, 7, {0x06AF, 0x04BE}}, {5, 0x270F, {0x100D}}};
    const Bytes pdu = protocol::BuildWriteFileRecordRequest(writes);
    EXPECT_EQ(pdu, (Bytes{0x15, 0x14, 6, 0, 4, 0,    7,    0, 2, 0x06, 0xAF,
                          0x04, 0xBE, 6, 0, 5, 0x27, 0x0F, 0, 1, 0x10, 0x0D}));
    EXPECT_EQ(protocol::ReadWriteFileRecordRequest(pdu), writes);
    EXPECT_EQ(protocol::BuildWriteFileRecordAnswer(writes), pdu);
    EXPECT_EQ(protocol::ReadWriteFileRecordAnswer(pdu), writes);
}

TEST(WriteFileRecord, BadRequestsAreRefusedAndChangeNothing) {
    const std::vector<BadPdu> cases = {
        {"no byte count", {0x15}},
        {"byte count below 7", {0x15, 0x06, 6, 0, 4, 0, 1, 0}},
        {"byte count short of the frame", {0x15, 0x09, 6, 0, 4, 0, 1, 0, 1, 0, 9, 0}},
        {"byte count past the frame", {0x15, 0x0B, 6, 0, 4, 0, 1, 0, 1, 0, 9}},
        {"registers past the byte count", {0x15, 0x09, 6, 0, 4, 0, 1, 0, 2, 0, 9}},
        {"a second head past the byte count", {0x15, 0x0C, 6, 0, 4, 0, 1, 0, 1, 0, 9, 6, 0, 4}},
        {"reference type 7 after a good one",
         {0x15, 0x12, 6, 0, 4, 0, 1, 0, 1, 0, 9, 7, 0, 4, 0, 2, 0, 1, 0, 9}},
        {"record past the last", {0x15, 0x09, 6, 0, 4, 0x27, 0x10, 0, 1, 0, 9}},
        {"no records", {0x15, 0x07, 6, 0, 4, 0, 1, 0, 0}},
    };
    for (const BadPdu& c : cases) {
        std::string why;
        EXPECT_FALSE(protocol::ReadWriteFileRecordRequest(c.pdu, &why)) << c.name;
        EXPECT_NE(why, "") << c.name;
        CExampleModel model = ModelWithFile4();
        const auto before = model.fileRecords;
        EXPECT_EQ(protocol::ServeRequest(c.pdu, model, 1), (Bytes{0x95, 0x03})) << c.name;
        EXPECT_EQ(model.fileRecords, before) << c.name;
        EXPECT_NE(protocol::DescribePdu(Role::Request, c.pdu).malformed, "") << c.name;
        EXPECT_NE(protocol::DescribePdu(Role::Answer, c.pdu).malformed, "") << c.name;
    }
}

TEST(WriteFileRecord, WritesEverySubRequest) {
    CExampleModel model = ModelWithFile4();
    const Bytes request =
        protocol::BuildWriteFileRecordRequest({{4, 1, {0xAAAA, 0xBBBB}}, {4, 9, {0xCCCC}}});
    EXPECT_EQ(protocol::ServeRequest(request, model, 1), request);
    EXPECT_EQ((model.fileRecords[{4, 1}]), 0xAAAA);
    EXPECT_EQ((model.fileRecords[{4, 2}]), 0xBBBB);
    EXPECT_EQ((model.fileRecords[{4, 3}]), 3);
    EXPECT_EQ((model.fileRecords[{4, 9}]), 0xCCCC);
}

TEST(WriteFileRecord, ARefusalAnywhereChangesNothing) {
    CExampleModel model = ModelWithFile4();
    const auto before = model.fileRecords;
    // The first sub-request is good; the second reaches records file 4 lacks.
    const Bytes request =
        protocol::BuildWriteFileRecordRequest({{4, 1, {0xAAAA}}, {4, 15, {0xBBBB, 0xCCCC}}});
    EXPECT_EQ(protocol::ServeRequest(request, model, 1), (Bytes{0x95, 0x02}));
    EXPECT_EQ(model.fileRecords, before);
}

// A device that lets file 5 be read but not written.
class CReadOnlyFile5Model : public CExampleModel {
public:
    std::uint8_t WriteFileRecord(std::uint16_t file, std::uint16_t record,
                                 const Words& values) override {
        if (file == 5) {
            return protocol::kIllegalDataAddress;
        }
        return CExampleModel::WriteFileRecord(file, record, values);
    }
};

TEST(WriteFileRecord, AWriteRefusedAfterOthersPutsThemBack) {
    CReadOnlyFile5Model model;
    for (std::uint16_t record = 0; record < 4; ++record) {
        model.fileRecords[{4, record}] = record;
        model.fileRecords[{5, record}] = record;
    }
    const auto before = model.fileRecords;
    const Bytes request =
        protocol::BuildWriteFileRecordRequest({{4, 0, {0xAAAA, 0xBBBB}}, {5, 1, {0xCCCC}}});
    EXPECT_EQ(protocol::ServeRequest(request, model, 1), (Bytes{0x95, 0x02}));
    EXPECT_EQ(model.fileRecords, before);
}

TEST(WriteFileRecord, DescribesFilesRecordsAndValues) {
    const Bytes request =
        protocol::BuildWriteFileRecordRequest({{4, 7, {0x06AF, 0x04BE}}, {5, 1, {0x100D}}});
    for (const Role role : {Role::Request, Role::Answer}) {
        const protocol::Description told = protocol::DescribePdu(role, request);
        EXPECT_EQ(told.malformed, "");
        EXPECT_EQ(told.values, (Words{0x06AF, 0x04BE, 0x100D}));
        std::string text;
        for (const protocol::Field& field : told.fields) {
            text += field.name + "=" + field.value + ";";
        }
        EXPECT_EQ(text,
                  "file=4;record=7;length=2;values=0x06AF 0x04BE;"
                  "file=5;record=1;length=1;values=0x100D;");
    }
}

}  // namespace
