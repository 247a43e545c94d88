#include "store/IniFile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace chengfan::store {
namespace {

using namespace std::string_literals;

struct LookupCase {
    const char* name;
    std::string content;
    std::string section;
    std::string key;
    std::optional<std::string> expected;
};

TEST(IniLookup, ReadsAsTheWindowsProfileFunctionsDo) {
    const LookupCase cases[] = {
        {"plain", "[s]\r\nk=v\r\n", "s", "k", "v"},
        {"LF line ends", "[s]\nk=v\n", "s", "k", "v"},
        {"CR line ends", "[s]\rk=v\r", "s", "k", "v"},
        {"no line end at the end", "[s]\r\nk=v", "s", "k", "v"},
        {"section letter case", "[SeCtIoN]\r\nk=v\r\n", "section", "k", "v"},
        {"key letter case", "[s]\r\nKEY=v\r\n", "s", "key", "v"},
        {"value keeps its letter case", "[s]\r\nk=VaLuE\r\n", "s", "k", "VaLuE"},
        {"blanks around names and value", "  [ s\t]  \r\n\t k \t=  v w \t\r\n", "s", "k", "v w"},
        {"blanks around the looked-up names", "[s]\r\nk=v\r\n", " s\t", "\tk ", "v"},
        {"text after the closing bracket", "[s] ; note\r\nk=v\r\n", "s", "k", "v"},
        {"double quotes removed", "[s]\r\nk=\" v \"\r\n", "s", "k", " v "},
        {"single quotes removed", "[s]\r\nk=' v '\r\n", "s", "k", " v "},
        {"only one pair removed", "[s]\r\nk=\"\"v\"\"\r\n", "s", "k", "\"v\""},
        {"unmatched quotes kept", "[s]\r\nk=\"v'\r\n", "s", "k", "\"v'"},
        {"quote at one end kept", "[s]\r\nk=\"v\r\n", "s", "k", "\"v"},
        {"lone quote kept", "[s]\r\nk=\"\r\n", "s", "k", "\""},
        {"empty value", "[s]\r\nk=\r\n", "s", "k", ""},
        {"'=' inside the value", "[s]\r\nk=a=b\r\n", "s", "k", "a=b"},
        {"';' inside the value", "[s]\r\nk=a;b\r\n", "s", "k", "a;b"},
        {"comment line skipped", "[s]\r\n ;k=c\r\nk=v\r\n", "s", "k", "v"},
        {"commented key is absent", "[s]\r\n;k=c\r\n", "s", "k", std::nullopt},
        {"key before any section ignored", "k=v\r\n[s]\r\n", "s", "k", std::nullopt},
        {"line without '=' ignored", "[s]\r\nk\r\nk=v\r\n", "s", "k", "v"},
        {"first of two keys wins", "[s]\r\nk=1\r\nK=2\r\n", "s", "k", "1"},
        {"first of two sections wins", "[s]\r\na=1\r\n[S]\r\nk=2\r\n", "s", "k", std::nullopt},
        {"key of another section", "[t]\r\nk=v\r\n[s]\r\n", "s", "k", std::nullopt},
        {"missing section", "[t]\r\nk=v\r\n", "s", "k", std::nullopt},
        {"empty content", "", "s", "k", std::nullopt},
        {"keys are texts, not numbers", "[s]\r\n1=v\r\n", "s", "01", std::nullopt},
        {"'[' without ']' is a key line", "[s]\r\n[k=v\r\n", "s", "[k", "v"},
        {"GBK section and key",
         "[\xB6\xAF\xCC\xAC\xCD\xF8\xD6\xB7]\r\n\xCA\xB1\xBC\xE4=\xCA\xD7\xD2\xB3\r\n",
         "\xB6\xAF\xCC\xAC\xCD\xF8\xD6\xB7", "\xCA\xB1\xBC\xE4", "\xCA\xD7\xD2\xB3"},
        // 0xB1 0x41 and 0xB1 0x61 are two different Chinese characters: the second
        // byte of a character must not fold like an ASCII letter.
        {"GBK second byte does not fold", "[s]\r\n\xB1\x41=upper\r\n\xB1\x61=lower\r\n", "s", "\xB1\x61",
         "lower"},
        {"GBK section second byte does not fold", "[\xB1\x41]\r\nk=1\r\n[\xB1\x61]\r\nk=2\r\n", "\xB1\x61",
         "k", "2"},
        // 0x5D (']') as the second byte of a character does not close the header.
        {"GBK ']' second byte in a section name", "[\xB1\x5D]\r\nk=v\r\n", "\xB1\x5D", "k", "v"},
        {"GBK ']' second byte without a real ']'", "[s]\r\n[\xB1\x5D\r\nk=v\r\n", "s", "k", "v"},
        {"zero byte in a value", "[s]\r\nk=a\0b\r\n"s, "s", "k", "a\0b"s},
        // Task numbers: keys without letters, which are searched for as bytes.
        {"number key after blanks", "[s]\r\n  12 \t= v\r\n", "s", "12", "v"},
        {"number key, LF line ends", "[s]\n1=a\n12=b\n", "s", "12", "b"},
        {"number key, CR line ends", "[s]\r1=a\r12=b\r13=c", "s", "12", "b"},
        {"number key on the last line without line end", "[s]\r\n12=v", "s", "12", "v"},
        {"longer key is another key", "[s]\r\n123=a\r\n312=b\r\n12=c\r\n", "s", "12", "c"},
        {"number key inside a value", "[s]\r\nx=12=no\r\nx= 12=no\r\n", "s", "12", std::nullopt},
        {"number key without '='", "[s]\r\n12\r\n12 x=no\r\n12=v\r\n", "s", "12", "v"},
        {"commented number key", "[s]\r\n;12=a\r\n \t; 12=b\r\n", "s", "12", std::nullopt},
        {"number key before any section", "12=x\r\n[s]\r\n", "s", "12", std::nullopt},
        {"number key of the section before", "[t]\r\n12=x\r\n[s]\r\n", "s", "12", std::nullopt},
        {"number key of the section after", "[s]\r\na=1\r\n \t[t]\r\n12=x\r\n", "s", "12", std::nullopt},
        {"number key of the second section of a name", "[s]\r\na=1\r\n[s]\r\n12=x\r\n", "s", "12", std::nullopt},
        {"first of two number keys wins", "[s]\r\n12=a\r\n 12=b\r\n", "s", "12", "a"},
        {"'[' inside a line is no header", "[a]\r\nx=[s]\r\n y [s]\r\n[s]\r\nx=a [t] b\r\n12=v\r\n", "s", "12", "v"},
        {"'[' line without ']' keeps the section going", "[s]\r\n[x=1\r\n12=v\r\n", "s", "12", "v"},
        {"GBK key without letters", "[s]\r\n\xB1\x31\xCA\xB1=a\r\n\xCA\xB1=b\r\n", "s", "\xCA\xB1", "b"},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(iniLookup(c.content, c.section, c.key), c.expected);
    }
}

struct UpdateCase {
    const char* name;
    std::string content;
    std::string section;
    std::string key;
    std::string value;
    std::string expected;
};

TEST(IniUpdate, ChangesOnlyWhatItWrites) {
    const UpdateCase cases[] = {
        {"new file", "", "s", "k", "v", "[s]\r\nk=v\r\n"},
        {"new section at the end, no blank line before it", "[a]\r\nx=1\r\n", "s", "k", "v",
         "[a]\r\nx=1\r\n[s]\r\nk=v\r\n"},
        {"new section after a last line without line end", "[a]\r\nx=1", "s", "k", "v",
         "[a]\r\nx=1\r\n[s]\r\nk=v\r\n"},
        {"new key at the end of its section", "[s]\r\na=1\r\nb=2\r\n[t]\r\nc=3\r\n", "s", "k", "v",
         "[s]\r\na=1\r\nb=2\r\nk=v\r\n[t]\r\nc=3\r\n"},
        {"new key before the blank lines that end the section", "[s]\r\na=1\r\n\r\n  \r\n[t]\r\n", "s", "k",
         "v", "[s]\r\na=1\r\nk=v\r\n\r\n  \r\n[t]\r\n"},
        {"new key in an empty section", "[s]\r\n[t]\r\n", "s", "k", "v", "[s]\r\nk=v\r\n[t]\r\n"},
        {"new key after a last line without line end", "[s]\r\na=1", "s", "k", "v", "[s]\r\na=1\r\nk=v\r\n"},
        {"new key into LF lines, other lines untouched", "[s]\na=1\n[t]\n", "s", "k", "v",
         "[s]\na=1\nk=v\r\n[t]\n"},
        {"new key in CR lines", "[s]\ra=1\r[t]\r", "s", "k", "v", "[s]\ra=1\rk=v\r\n[t]\r"},
        {"value replaced where it stands", "[s]\r\na=1\r\nk=old\r\nb=2\r\n", "s", "k", "new",
         "[s]\r\na=1\r\nk=new\r\nb=2\r\n"},
        {"replacement keeps the key's spelling and blanks", "[S]\r\n\t KeY = old value \r\n", "s", "key",
         "new", "[S]\r\n\t KeY = new\r\n"},
        {"replacement of a quoted value", "[s]\r\nk=\"old\"\r\n", "s", "k", "new", "[s]\r\nk=new\r\n"},
        {"replacement keeps LF line end", "[s]\nk=old\n", "s", "k", "new", "[s]\nk=new\n"},
        {"replacement in the first of two sections", "[s]\r\nk=1\r\n[s]\r\nk=2\r\n", "s", "k", "3",
         "[s]\r\nk=3\r\n[s]\r\nk=2\r\n"},
        {"new key into the first of two sections", "[s]\r\na=1\r\n[s]\r\nk=2\r\n", "s", "k", "3",
         "[s]\r\na=1\r\nk=3\r\n[s]\r\nk=2\r\n"},
        {"replacement of the first of two keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "3",
         "[s]\r\nk=3\r\nk=2\r\n"},
        {"comments and odd lines untouched", "; top\r\norphan=1\r\n[s]\r\n; c\r\nodd line\r\nk=1\r\n", "s", "k",
         "2", "; top\r\norphan=1\r\n[s]\r\n; c\r\nodd line\r\nk=2\r\n"},
        {"commented key is not replaced", "[s]\r\n;k=1\r\n", "s", "k", "2", "[s]\r\n;k=1\r\nk=2\r\n"},
        {"blanks around new names dropped", "", " s ", "\tk ", "v", "[s]\r\nk=v\r\n"},
        {"value with blanks at its ends is quoted", "", "s", "k", " v\t", "[s]\r\nk=\" v\t\"\r\n"},
        {"value in matching quotes is quoted again", "", "s", "k", "'v'", "[s]\r\nk=\"'v'\"\r\n"},
        {"value with a quote at one end stays as it is", "", "s", "k", "\"v", "[s]\r\nk=\"v\r\n"},
        {"GBK names and value", "", "\xB6\xAF\xCC\xAC\xCD\xF8\xD6\xB7", "1", "D:\\\xCA\xD7\xD2\xB3",
         "[\xB6\xAF\xCC\xAC\xCD\xF8\xD6\xB7]\r\n1=D:\\\xCA\xD7\xD2\xB3\r\n"},
    };
    for (const UpdateCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(iniUpdate(c.content, c.section, c.key, c.value), c.expected);
    }
}

TEST(IniUpdate, RefusesWhatCannotBeStored) {
    struct Refused {
        const char* name;
        std::string section;
        std::string key;
        std::string value;
    };
    const Refused cases[] = {
        {"LF in the value", "s", "k", "a\nb"},
        {"CR in the value", "s", "k", "a\rb"},
        {"CR LF at the end of the value", "s", "k", "a\r\n"},
        {"line break in the key", "s", "k\n1", "v"},
        {"line break in the section", "s\r", "k", "v"},
        {"empty key", "s", "", "v"},
        {"blank key", "s", " \t", "v"},
        {"empty section", "", "k", "v"},
        {"key that reads as a comment", "s", ";k", "v"},
        {"key that reads as a section", "s", "[k]", "v"},
        {"key holding '='", "s", "a=b", "v"},
        {"section ending in half a GBK character", "s\x81", "k", "v"},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(iniUpdate("[s]\r\nk=old\r\n", c.section, c.key, c.value), std::nullopt);
    }
}

// Whatever the program writes, it reads back byte for byte, in a file of any line
// end style and whether the key is new or replaced.
TEST(IniUpdate, EveryStorableValueReadsBackExactly) {
    const std::string values[] = {
        "",        " ",       "\t",        "  v",        "v  ",     " v ",        "\"",     "'",
        "\"\"",    "''",      "\"v\"",     "'v'",        "\"v",     "v\"",        "'v\"",   "\" v \"",
        "\"'v'\"", "a=b",     ";not a comment", "[not a section]", "v;x", "\xB1\x5D", "\x81\x40",
        "\xCA\xD7\xD2\xB3 ", "http://example.com/a.php?x=1&y=\xD6\xD0",
    };
    const std::string contents[] = {"", "[s]\r\nk=old\r\n", "[s]\nk=old\n", "[t]\rk=old", "[s]\r\na=1"};
    for (const std::string& content : contents) {
        for (const std::string& value : values) {
            SCOPED_TRACE("content [" + content + "] value [" + value + "]");
            const std::optional<std::string> updated = iniUpdate(content, "s", "k", value);
            ASSERT_TRUE(updated.has_value());
            EXPECT_EQ(iniLookup(*updated, "s", "k"), value);
            EXPECT_EQ(iniLookup(*updated, "S", "K"), value);
        }
    }
}

}  // namespace
}  // namespace chengfan::store
