// Which language the programs speak: what is asked (--lang, then CORVANE_LANG) before the
// locale's language for messages (LC_ALL, then LC_MESSAGES, then LANG); English only for English,
// Chinese for every other language and when nothing says anything.
#include "form_rules/language.h"

#include <gtest/gtest.h>

#include <map>

namespace corvane {
namespace {

const char* const kVariables[] = {"CORVANE_LANG", "LC_ALL", "LC_MESSAGES", "LANG"};

// Sets the variables a row names, unsets the others, and puts everything back afterwards.
class Environment {
public:
    explicit Environment(const std::map<std::string, QByteArray>& values) {
        for (const char* name : kVariables) {
            saved_[name] = qgetenv(name);
            wasSet_[name] = qEnvironmentVariableIsSet(name);
            const auto it = values.find(name);
            it == values.end() ? qunsetenv(name) : qputenv(name, it->second);
        }
    }
    ~Environment() {
        for (const char* name : kVariables) {
            wasSet_[name] ? qputenv(name, saved_[name]) : qunsetenv(name);
        }
    }

private:
    std::map<std::string, QByteArray> saved_;
    std::map<std::string, bool> wasSet_;
};

struct LanguageRow {
    const char* what;
    QString asked;
    std::map<std::string, QByteArray> environment;
    Language expected;
};

TEST(Language, AskedBeforeEnvironmentBeforeLocaleAndChineseForEveryOtherLanguage) {
    const LanguageRow rows[] = {
        {"nothing set", {}, {}, Language::Chinese},
        {"C locale", {}, {{"LANG", "C"}}, Language::Chinese},
        {"English locale", {}, {{"LANG", "en_GB.UTF-8"}}, Language::English},
        {"German locale", {}, {{"LANG", "de_DE.UTF-8"}}, Language::Chinese},
        {"LC_MESSAGES before LANG",
         {},
         {{"LANG", "zh_CN.UTF-8"}, {"LC_MESSAGES", "en_US"}},
         Language::English},
        {"LC_ALL before LC_MESSAGES",
         {},
         {{"LC_MESSAGES", "en_US"}, {"LC_ALL", "C.UTF-8"}},
         Language::Chinese},
        {"CORVANE_LANG before the locale",
         {},
         {{"LANG", "zh_CN.UTF-8"}, {"CORVANE_LANG", "en"}},
         Language::English},
        {"CORVANE_LANG=zh under English",
         {},
         {{"LANG", "en_US.UTF-8"}, {"CORVANE_LANG", "zh"}},
         Language::Chinese},
        {"--lang before CORVANE_LANG",
         QStringLiteral("zh"),
         {{"CORVANE_LANG", "en"}},
         Language::Chinese},
        {"--lang en", QStringLiteral("en"), {{"LANG", "zh_CN.UTF-8"}}, Language::English},
        {"another language asked", QStringLiteral("fr"), {{"LANG", "en_US"}}, Language::Chinese},
    };
    for (const LanguageRow& row : rows) {
        SCOPED_TRACE(row.what);
        const Environment environment(row.environment);
        EXPECT_EQ(UserLanguage(row.asked), row.expected);
    }
}

}  // namespace
}  // namespace corvane
