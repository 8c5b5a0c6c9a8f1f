#include "host/messages.h"

#include <gtest/gtest.h>

#include "testlib/recording_sink.h"

namespace zul {
namespace {

TEST(ShowResourceMessageTest, ShowsTheNumberedTextsAndReturnsTheButton) {
    test::RecordingSink sink;
    sink.answers = {kIdCancel};
    SetMessageSink(&sink);
    EXPECT_EQ(ShowResourceMessage(720, 724, kMbOkCancel | kMbIconQuestion), kIdCancel);
    SetMessageSink(nullptr);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].text, "Are you sure you want to run the COM port test?");
    EXPECT_EQ(sink.shown[0].caption, "COM Port Test");
    EXPECT_EQ(sink.shown[0].type, 0x21u);
}

TEST(ShowResourceMessageTest, StringTableHoldsTheSystemsTexts) {
    EXPECT_EQ(LoadResourceString(57344), "ZUL for KVR 7700");
    EXPECT_EQ(LoadResourceString(723),
              "** TEST FAILED ** \n\nCheck self-test adapter connection and COM port selection.");
    EXPECT_EQ(LoadResourceString(715), "Error");
    EXPECT_EQ(LoadResourceString(1), "");
}

TEST(ShowResourceMessageTest, UnansweredBoxesTakeTheCautiousButton) {
    EXPECT_EQ(DefaultAnswer(kMbOk | kMbIconError), kIdOk);
    EXPECT_EQ(DefaultAnswer(kMbOkCancel | kMbIconQuestion), kIdCancel);
    EXPECT_EQ(DefaultAnswer(kMbYesNo), kIdNo);
}

}  // namespace
}  // namespace zul
