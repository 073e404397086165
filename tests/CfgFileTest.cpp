#include <gtest/gtest.h>

#include "CfgFile.h"
#include "ErrorHandling.h"
#include <sstream>

#include "FileUtils.h"
#include "TestFiles.h"

namespace {

using testing_support::TempDir;
using testing_support::writeFile;

class CfgFileTest : public ::testing::Test {
protected:
    CfgFile load(const std::string& bytes) {
        writeFile(path(), bytes);
        return CfgFile::load(path());
    }
    tstring path() const { return dir / L"My.cfg"; }

    static tstring_array values(const CfgFile& cfg, const SectionKey& s, const PropertyKey& k) {
        const PropertyMap& props = cfg.sectionProperties(s);
        const auto it = props.find(k);
        return it == props.end() ? tstring_array() : it->second;
    }

    static std::string loadError(const tstring& path) {
        try {
            CfgFile::load(path);
        } catch (const TarnErrorBase& e) {
            return e.rawMessage();
        }
        return "no error";
    }

    TempDir dir;
};

TEST_F(CfgFileTest, LineRules) {
    const CfgFile cfg = load(
        "; comment\n"
        "app.mainjar=before-any-header.jar\n"
        "[Application]\n"
        "app.runtime=C:\\jre\n"
        "app.runtime=D:\\jre\n"
        "app.mainjar = spaced.jar\n"
        "app.Mainclass=Wrong.Case\n"
        "app.mainclass\n"
        "[JavaOptions] trailing text\n"
        "java-options=-Dfoo=bar\n"
        "java-options=\n"
        "[ArgOptions]\n"
        "arguments\n"
        "arguments=a\\=b=c\n"
        "\\=arguments=x\n"
        "=arguments\n"
        "[application]\n"
        "app.mainjar=lower-case-header.jar\n"
        " [Application]\n"
        "app.splash=still-under-lower-case.png\n"
        "[Other]\n"
        "arguments=other\n");
    EXPECT_EQ(values(cfg, CfgFile::application, CfgFile::runtime),
              (tstring_array{L"C:\\jre", L"D:\\jre"}));
    EXPECT_EQ(CfgFile::lastValueOf(*cfg.sectionProperties(CfgFile::application).find(CfgFile::runtime)),
              L"D:\\jre");
    EXPECT_EQ(values(cfg, CfgFile::application, CfgFile::mainjar), tstring_array());
    EXPECT_EQ(values(cfg, CfgFile::application, CfgFile::mainclass), tstring_array{L""});
    EXPECT_EQ(values(cfg, CfgFile::application, CfgFile::splash), tstring_array());
    EXPECT_EQ(values(cfg, CfgFile::javaOptions, CfgFile::javaOptionsKey),
              (tstring_array{L"-Dfoo=bar", L""}));
    // "\=arguments" keeps its backslash in the key; "=arguments" has an empty key.
    EXPECT_EQ(values(cfg, CfgFile::argOptions, CfgFile::arguments),
              (tstring_array{L"", L"a\\=b=c"}));
    EXPECT_TRUE(cfg.sectionProperties(SectionKey(L"Other")).empty());
}

// Keys of dropped lines, as the parser split them.
class DroppedKeys : public CfgFileObserver {
public:
    void lineDropped(int, const std::string&, Reason, const tstring& name) override {
        keys.push_back(name);
    }
    void sectionReplaced(int, const tstring&) override {}
    tstring_array keys;
};

// The name runs to the last ']' of the line, whatever comes between.
TEST_F(CfgFileTest, HeaderNameEndsAtTheLastBracket) {
    struct Row { const char* header; bool recognised; };
    for (const Row& row : {Row{"[Application]]", false}, Row{"[Application]x]", false},
                           Row{"[App]lication]", false}, Row{"[[Application]", false},
                           Row{"[Application] ] x", false}, Row{"[Application]trailing", true},
                           Row{"[Application][", true}}) {
        const CfgFile cfg = load(std::string(row.header) + "\napp.mainclass=M\n");
        EXPECT_EQ(values(cfg, CfgFile::application, CfgFile::mainclass),
                  row.recognised ? tstring_array{L"M"} : tstring_array()) << row.header;
    }
}

TEST_F(CfgFileTest, EscapedSeparatorKeepsSearching) {
    const CfgFile cfg = load("[ArgOptions]\narguments\\=x=v\narguments=k\\=v=w\n");
    EXPECT_EQ(values(cfg, CfgFile::argOptions, CfgFile::arguments), tstring_array{L"k\\=v=w"});
    const CfgFile cfg2 = load("[ArgOptions]\narguments=\\=\n");
    EXPECT_EQ(values(cfg2, CfgFile::argOptions, CfgFile::arguments), tstring_array{L"\\="});

    // Only the split key shows whether an escaped '=' was passed over.
    writeFile(path(), "[ArgOptions]\narguments\\=x=v\na\\=b\\=c=d\na\\\\=b\n=arguments\nk=\\=\n");
    DroppedKeys dropped;
    CfgFile::load(path(), &dropped);
    EXPECT_EQ(dropped.keys, (tstring_array{L"arguments\\=x", L"a\\=b\\=c", L"a\\\\=b", L"", L"k"}));
}

TEST_F(CfgFileTest, RepeatedSectionsFollowTheCommitRule) {
    const CfgFile replaced = load("[Application]\napp.mainjar=a.jar\napp.mainclass=A\n"
                                  "[Application]\napp.mainjar=b.jar\n");
    EXPECT_EQ(values(replaced, CfgFile::application, CfgFile::mainjar), tstring_array{L"b.jar"});
    EXPECT_EQ(values(replaced, CfgFile::application, CfgFile::mainclass), tstring_array());

    const CfgFile kept = load("[Application]\napp.mainjar=a.jar\n"
                              "[Application]\nunknown=1\n; nothing known\n");
    EXPECT_EQ(values(kept, CfgFile::application, CfgFile::mainjar), tstring_array{L"a.jar"});
}

TEST_F(CfgFileTest, EncodingsAndLineEnds) {
    const CfgFile crlf = load("[Application]\r\napp.mainjar=a.jar\r\napp.mainclass=Last");
    EXPECT_EQ(values(crlf, CfgFile::application, CfgFile::mainjar), tstring_array{L"a.jar"});
    EXPECT_EQ(values(crlf, CfgFile::application, CfgFile::mainclass), tstring_array{L"Last"});

    const CfgFile utf8 = load("[ArgOptions]\narguments=\xC3\xA4\xE2\x82\xAC\n"
                              "arguments=bad\xFF\n");
    EXPECT_EQ(values(utf8, CfgFile::argOptions, CfgFile::arguments),
              tstring_array{L"\u00E4\u20AC"});

    const CfgFile bom = load("\xEF\xBB\xBF[Application]\napp.mainjar=hidden.jar\n"
                             "[ArgOptions]\narguments=seen\n");
    EXPECT_TRUE(bom.sectionProperties(CfgFile::application).empty());
    EXPECT_EQ(values(bom, CfgFile::argOptions, CfgFile::arguments), tstring_array{L"seen"});

    const CfgFile empty = load("; only comments\n\n");
    EXPECT_TRUE(empty.sectionProperties(CfgFile::application).empty());
}

TEST_F(CfgFileTest, Errors) {
    writeFile(path(), "; header below\n\n[Application]\n[Application\n");
    EXPECT_EQ(loadError(path()), "Error parsing [" + testing_support::utf8(path())
              + "] file at 4: Missing ']' character");

    const tstring missing = dir / L"missing.cfg";
    EXPECT_EQ(loadError(missing), "Error opening \"" + testing_support::utf8(missing)
              + "\" file: No such file or directory");
    // Regression: a folder was reported as "Permission denied".
    EXPECT_EQ(loadError(dir.path()), "Error opening \"" + testing_support::utf8(dir.path())
              + "\" file: it is a folder, not a file");

}

TEST_F(CfgFileTest, MacrosAndValueAccess) {
    MacroMap macros = {{L"$APPDIR", L"C:\\A\\app"}, {L"$BINDIR", L"C:\\A"}, {L"$ROOTDIR", L"C:\\A"}};
    const CfgFile cfg = load("[Application]\napp.classpath=$APPDIR\\x.jar;$ROOTDIR\n"
                             "app.classpath=$APPDIRX\n[ArgOptions]\narguments=$BINDIR\n");
    CfgFile resolved = cfg.resolveMacros(macros);
    EXPECT_EQ(values(resolved, CfgFile::application, CfgFile::classpath),
              (tstring_array{L"C:\\A\\app\\x.jar;C:\\A", L"C:\\A\\appX"}));
    EXPECT_EQ(values(cfg, CfgFile::application, CfgFile::classpath),
              (tstring_array{L"$APPDIR\\x.jar;$ROOTDIR", L"$APPDIRX"}));

    resolved.replaceValues(CfgFile::argOptions, CfgFile::arguments, {L"$APPDIR", L"b"});
    EXPECT_EQ(values(resolved, CfgFile::argOptions, CfgFile::arguments),
              (tstring_array{L"$APPDIR", L"b"}));
    resolved.replaceValues(CfgFile::javaOptions, CfgFile::javaOptionsKey, {L"-X"});
    EXPECT_EQ(values(resolved, CfgFile::javaOptions, CfgFile::javaOptionsKey), tstring_array{L"-X"});

    const auto& cp = *resolved.sectionProperties(CfgFile::application).find(CfgFile::classpath);
    // Joined as the platform's runtime reads a path list.
    EXPECT_EQ(CfgFile::pathListOf(cp),
              tstring(L"C:\\A\\app\\x.jar;C:\\A") + FileUtils::pathListSeparator + L"C:\\A\\appX");
}

// A macro text may name another macro, which names a third: each level
// takes one more pass in the map's order, until nothing changes.
TEST_F(CfgFileTest, MacrosSeveralLevelsDeep) {
    const MacroMap macros = {{L"$APPDIR", L"C:\\A"}, {L"$BINDIR", L"$APPDIR\\b"},
                             {L"$ROOTDIR", L"$BINDIR\\r"}};
    const CfgFile cfg = load("[Application]\napp.classpath=$ROOTDIR;$BINDIR;$ROOTDIR$ROOTDIR\n");
    EXPECT_EQ(values(cfg.resolveMacros(macros), CfgFile::application, CfgFile::classpath),
              tstring_array{L"C:\\A\\b\\r;C:\\A\\b;C:\\A\\b\\rC:\\A\\b\\r"});
}

// Regression: an install directory whose path holds a macro name made the
// passes go on forever.
TEST_F(CfgFileTest, MacroTextHoldingAMacroNameEndsWithAnError) {
    const MacroMap macros = {{L"$APPDIR", L"C:\\$APPDIR\\app"}, {L"$ROOTDIR", L"C:\\$APPDIR"}};
    const CfgFile cfg = load("[Application]\napp.classpath=$APPDIR\\x.jar\n");
    try {
        cfg.resolveMacros(macros);
        FAIL() << "no exception";
    } catch (const TarnErrorBase& e) {
        EXPECT_STREQ(e.rawMessage(), "Failed to resolve macros in \"$APPDIR\\x.jar\" value: "
                                     "the text of a macro contains a macro name");
    }
    // Texts that merely contain '$' still resolve.
    const CfgFile plain = load("[Application]\napp.classpath=$APPDIR\\x.jar\n");
    EXPECT_EQ(values(plain.resolveMacros({{L"$APPDIR", L"C:\\$A$\\app"}}),
                     CfgFile::application, CfgFile::classpath), tstring_array{L"C:\\$A$\\app\\x.jar"});
}

} // namespace

namespace {

// The located text names the loader and its published line.
TEST(CfgFileLocationTest, ParseErrorIsLocatedInLoad) {
    std::istringstream in("[Application\n");
    try {
        CfgFile::load(in, L"x.cfg");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "CfgFile.cpp(184) at CfgFile::load(): "
                               "Error parsing [x.cfg] file at 1: Missing ']' character");
    }
}

} // namespace
