#include "app/messages.h"

#include <gtest/gtest.h>

namespace zul {
namespace {

struct RecordingSink : MessageSink {
    std::string text, caption;
    unsigned type = 0;
    int answer = kIdCancel;
    int Show(std::string_view t, std::string_view c, unsigned ty) override {
        text = t;
        caption = c;
        type = ty;
        return answer;
    }
};

TEST(ShowResourceMessageTest, ShowsTheNumberedTextsAndReturnsTheButton) {
    RecordingSink sink;
    SetMessageSink(&sink);
    EXPECT_EQ(ShowResourceMessage(720, 724, kMbOkCancel | kMbIconQuestion), kIdCancel);
    EXPECT_EQ(sink.text, "Are you sure you want to run the COM port test?");
    EXPECT_EQ(sink.caption, "COM Port Test");
    EXPECT_EQ(sink.type, 0x21u);
    SetMessageSink(nullptr);
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
