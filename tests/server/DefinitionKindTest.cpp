#include "DefinitionKind.h"

#include <gtest/gtest.h>

namespace nightjar::server {
namespace {

DefinitionKind kind(const char* marker) {
    return *DefinitionKind::parse(marker);
}

TEST(DefinitionKindTest, MarkersAreReadWithoutRegardToCaseAndUnknownOnesRefused) {
    EXPECT_EQ(kind("file").marker(), "FILE");
    EXPECT_EQ(kind(" sReg ").marker(), "SREG");
    EXPECT_FALSE(DefinitionKind::parse("S"));
    EXPECT_FALSE(DefinitionKind::parse("COOKIE"));
    EXPECT_FALSE(DefinitionKind::parse(""));
}

TEST(DefinitionKindTest, EachKindReachesTheFilesOfTheClientPasses) {
    using F = TargetFile;
    EXPECT_EQ(kind("FILE").targets(), std::vector<F>{F::File});
    EXPECT_EQ(kind("DLL").targets(), std::vector<F>{F::File});
    EXPECT_EQ(kind("EXE").targets(), (std::vector<F>{F::File, F::Exe}));
    EXPECT_EQ(kind("DIR").targets(), std::vector<F>{F::Directory});
    EXPECT_EQ(kind("REG").targets(), std::vector<F>{F::Registry});
    EXPECT_EQ(kind("COOK").targets(), std::vector<F>{F::Cookies});
    for (const char* s : {"SFILE", "SEXE", "SDLL", "SDIR", "SREG"}) {
        EXPECT_EQ(kind(s).targets(), std::vector<F>{F::Safety}) << s;
        EXPECT_TRUE(kind(s).isSafety());
    }
    EXPECT_FALSE(kind("COOK").isSafety());
}

TEST(DefinitionKindTest, NormalizeTrimsBlanksAndLineEnds) {
    EXPECT_EQ(DefinitionKind::normalizeBody("  a.exe=A|[windir]|Trojan\r\n"),
              "a.exe=A|[windir]|Trojan");
    EXPECT_EQ(DefinitionKind::normalizeBody("\t \r\n"), "");
}

TEST(DefinitionKindTest, FileEntriesNeedANameAndAThreat) {
    const DefinitionKind f = kind("FILE");
    EXPECT_EQ(f.validate("bad.exe=BadThing|[windir]|Trojan"), "");
    EXPECT_EQ(f.validate("bad.exe=BadThing"), "");
    EXPECT_NE(f.validate("bad.exe|[windir]|Trojan"), "");   // no "="
    EXPECT_NE(f.validate("bad.exe|[wi=ndir]|Trojan"), "");  // "=" after the first "|"
    EXPECT_NE(f.validate(" =BadThing|[windir]"), "");       // empty name
    EXPECT_NE(f.validate("bad.exe= |[windir]"), "");        // empty threat
    EXPECT_NE(f.validate("bad.exe=B|[windir]|Trojan|more"), "");
    EXPECT_NE(f.validate(""), "");
}

TEST(DefinitionKindTest, BytesThatWouldChangeMeaningOnTheWayAreRefused) {
    const DefinitionKind f = kind("FILE");
    EXPECT_NE(f.validate("a<b.exe=A|x"), "");    // travels as "|"
    EXPECT_NE(f.validate("a\xFC.exe=A|x"), "");  // travels as "="
    EXPECT_NE(f.validate("a\xC9.exe=A|x"), "");  // stored as LF
    EXPECT_NE(f.validate("a\xCC.exe=A|x"), "");  // stored as CR
    EXPECT_NE(f.validate("a\xFF.exe=A|x"), "");  // does not round-trip
    EXPECT_NE(f.validate("a\t.exe=A|x"), "");    // control character
    EXPECT_NE(f.validate("a.exe=A|x\xDF"), "");  // trailing byte becomes a blank
    EXPECT_EQ(f.validate("\xDF"
                         "a.exe=A|x"),
              "");                                              // elsewhere it is fine
    EXPECT_EQ(f.validate("caf\xE9.exe=Caf\xE9|[windir]"), "");  // other 8-bit letters pass
}

TEST(DefinitionKindTest, RegistryEntriesAreScannerLinesWithAValidHive) {
    const DefinitionKind r = kind("REG");
    EXPECT_EQ(r.validate("1^Software\\NJDemoToolbar=NJDemo.Toolbar|Toolbar"), "");
    EXPECT_EQ(r.validate("2^Software\\Run^Agent=NJDemo.Agent|Adware"), "");
    EXPECT_EQ(r.validate("2^Software\\Run^=NJDemo.Agent"), "");
    EXPECT_EQ(r.validate("1^Software\\A=B^Value=Threat|Adware"), "");  // "=" in the key path
    EXPECT_NE(r.validate("6^Software\\X=T|Adware"), "");
    EXPECT_NE(r.validate("x^Software\\X=T|Adware"), "");
    EXPECT_NE(r.validate("1=T|Adware"), "");
    EXPECT_NE(r.validate("1^ =T|Adware"), "");
    EXPECT_NE(r.validate("1^Software\\X"), "");
    EXPECT_NE(r.validate("1^Software\\X=|Adware"), "");
    EXPECT_NE(r.validate("1^Software\\X=T|Adware|More"), "");
    EXPECT_NE(r.validate("1^Soft|ware\\X=T|Adware"), "");
    EXPECT_NE(r.validate("1^A^B^C=T|Adware"), "");
}

TEST(DefinitionKindTest, RegistryRecordsCarryTheLocationAsPartOneSoTheClientWritesAScannerLine) {
    const DefinitionKind r = kind("REG");
    // The client writes part 1 + "^=" + value + "|" + part 2 and drops the name.
    EXPECT_EQ(r.addBody("1^Software\\NJDemoToolbar=NJDemo.Toolbar|Toolbar"),
              "REG=NJDemo.Toolbar|1^Software\\NJDemoToolbar|Toolbar");
    EXPECT_EQ(
        r.storedLine("1^Software\\NJDemoToolbar=NJDemo.Toolbar|Toolbar", TargetFile::Registry),
        "1^Software\\NJDemoToolbar^=NJDemo.Toolbar|Toolbar");
    // A value entry keeps its value name as the third "^" field.
    EXPECT_EQ(r.storedLine("1^Software\\Run^NJDemoAgent=NJDemo.Agent|Adware", TargetFile::Registry),
              "1^Software\\Run^NJDemoAgent^=NJDemo.Agent|Adware");
    // A whole-key entry written with a trailing "^" gives the same line.
    EXPECT_EQ(r.storedLine("1^Software\\X^=T|Spyware", TargetFile::Registry),
              r.storedLine("1^Software\\X=T|Spyware", TargetFile::Registry));
    // Without a type the threat part still ends in the separator the client writes.
    EXPECT_EQ(r.storedLine("1^Software\\X=T", TargetFile::Registry), "1^Software\\X^=T|");
    EXPECT_EQ(r.threatType("1^Software\\X=T|Spyware"), "Spyware");
}

TEST(DefinitionKindTest, RegistryDeletionsNameTheKeyOfTheStoredLine) {
    const DefinitionKind r = kind("REG");
    const std::string body = "1^Software\\Run^NJDemoAgent=NJDemo.Agent|Adware";
    const std::string del = r.delBody(body);
    EXPECT_EQ(DefinitionKind::removalKey(del),
              DefinitionKind::removalKey(r.storedLine(body, TargetFile::Registry)));
    EXPECT_EQ(DefinitionKind::removalKey(del), "1^software\\run^njdemoagent^");
    EXPECT_NE(del.find('='), std::string::npos);
    // Not the ADD key: an ADD never cancels the deletion of a registry line.
    EXPECT_NE(DefinitionKind::removalKey(r.addBody(body)), DefinitionKind::removalKey(del));
}

TEST(DefinitionKindTest, CookiesAreBareSites) {
    const DefinitionKind c = kind("COOK");
    EXPECT_EQ(c.validate("ads.njdemo.example"), "");
    EXPECT_NE(c.validate("ads.njdemo.example|other.example"), "");
    EXPECT_NE(c.validate("ads.njdemo.example=Tracker"), "");
    EXPECT_EQ(c.addBody("ads.njdemo.example"), "ads.njdemo.example");
    EXPECT_EQ(c.delBody("ads.njdemo.example"), "ads.njdemo.example");
    EXPECT_EQ(c.storedLine("ads.njdemo.example", TargetFile::Cookies), "ads.njdemo.example");
    EXPECT_EQ(c.threatType("ads.njdemo.example"), "");
}

TEST(DefinitionKindTest, SafetyEntriesTravelWithTheirKindInFront) {
    const DefinitionKind s = kind("SFILE");
    const std::string body = "njdemo_safe.exe=NJDemo.Safe|[progfil]NJDemo Safe\\njdemo_safe.exe";
    EXPECT_EQ(s.validate(body), "");
    EXPECT_EQ(s.addBody(body), "SFILE|" + body);
    EXPECT_EQ(s.delBody(body), "SFILE|" + body);
    // The client appends "|" + the marker; the loader ignores that extra field.
    EXPECT_EQ(s.storedLine(body, TargetFile::Safety), "SFILE|" + body + "|SFILE");
    EXPECT_EQ(DefinitionKind::removalKey(s.storedLine(body, TargetFile::Safety)),
              DefinitionKind::removalKey(s.delBody(body)));

    EXPECT_NE(s.validate("SFILE|a.exe=A|[windir]a.exe"), "");  // kind written twice
    EXPECT_NE(s.validate("a.exe=A"), "");                      // no location field
    EXPECT_EQ(s.validate("a.exe=A|"), "");                     // the name stands in
    EXPECT_NE(kind("SDIR").validate("NJ=Safe|"), "");          // folders need a location
    EXPECT_EQ(kind("SREG").validate("NJ=Safe|2^Software\\NJDemoSafe"), "");
    EXPECT_NE(kind("SREG").validate("NJ=Safe|9^Software\\NJDemoSafe"), "");
}

TEST(DefinitionKindTest, FileNamesAreKnownForFileKindsOnly) {
    EXPECT_EQ(kind("EXE").fileName(" NJDemo_Agent.EXE =NJDemo.Agent|[progfil]NJDemo"),
              "njdemo_agent.exe");
    EXPECT_EQ(kind("DIR").fileName("NJDemo=NJDemo.Suite|[progfil]NJDemo"), "");
    EXPECT_EQ(kind("FILE").threatType("a.exe=A|[windir]|Trojan"), "Trojan");
    EXPECT_EQ(kind("FILE").threatType("a.exe=A|[windir]"), "");
}

}  // namespace
}  // namespace nightjar::server
