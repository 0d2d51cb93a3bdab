#include "QueryString.h"

#include <gtest/gtest.h>

#include "util/PercentEncoding.h"

namespace nightjar::server {
namespace {

const std::vector<std::string> kDefs = {"prog", "comp", "date"};

TEST(QueryStringTest, RawAndPercentEncodedQueriesGiveTheSameValues) {
    const QueryString raw("/asp/getDefsNEW.asp?prog=Nightjar&comp=Nightjar%20Labs&date=3/16/2006",
                          kDefs);
    const QueryString encoded(
        "/asp/getDefsNEW.asp?prog=Nightjar&comp=Nightjar%20Labs&date=3%2F16%2F2006", kDefs);
    for (const QueryString* q : {&raw, &encoded}) {
        EXPECT_EQ(q->get("prog"), "Nightjar");
        EXPECT_EQ(q->get("comp"), "Nightjar Labs");
        EXPECT_EQ(q->get("date"), "3/16/2006");
    }
}

TEST(QueryStringTest, AnAmpersandInsideAValueStaysWhenTheKeysComeInOrder) {
    const QueryString q("/x?prog=Spy&Co&comp=A&B Labs&date=1/5/2009%203:04:05%20PM", kDefs);
    EXPECT_EQ(q.get("prog"), "Spy&Co");
    EXPECT_EQ(q.get("comp"), "A&B Labs");
    EXPECT_EQ(q.get("date"), "1/5/2009 3:04:05 PM");
}

TEST(QueryStringTest, OtherOrdersFallBackToSplittingAtEveryAmpersand) {
    const QueryString q("/x?date=3/16/2006&comp=C%26D&prog=P&extra", kDefs);
    EXPECT_EQ(q.get("prog"), "P");
    EXPECT_EQ(q.get("comp"), "C&D");
    EXPECT_EQ(q.get("date"), "3/16/2006");
    EXPECT_EQ(q.get("extra"), "");
    EXPECT_FALSE(q.get("missing"));
    EXPECT_FALSE(QueryString("/x", kDefs).get("prog"));
}

TEST(QueryStringTest, EightBitBytesPlusSignsAndStrayPercentsSurvive) {
    const QueryString q("/asp/getData.asp?data=\xA1\xA2+%41%zz%4|\xFF%", {"data"});
    EXPECT_EQ(q.get("data"), "\xA1\xA2+A%zz%4|\xFF%");
    // Everything after "data=" is the value, "&" and "=" included.
    EXPECT_EQ(QueryString("/g?data=a&b=c|", {"data"}).get("data"), "a&b=c|");
}

TEST(QueryStringTest, PercentDecodingTakesBothLetterCases) {
    EXPECT_EQ(url::percentDecode("%e9%C9%20"), "\xE9\xC9 ");
    EXPECT_EQ(url::percentDecode("100%"), "100%");
    EXPECT_EQ(url::percentDecode(""), "");
}

}  // namespace
}  // namespace nightjar::server
