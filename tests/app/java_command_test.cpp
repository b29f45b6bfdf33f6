#include "app/java_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(JavaCommand, AClassNameIsDottedIdentifiersAfterAnOptionalModule)
{
    for (const char* valid : {"M", "app.Main", "a.b$Inner", "_x.$y1", "my.mod/app.Main",
                              "kamery.Dom\xC5\x82"})
        EXPECT_TRUE(java_command_class_valid(valid)) << valid;
    for (const char* invalid : {"", "-jar", "-jar \\\\host\\x.jar", "app.Main x", "app..Main",
                                ".Main", "Main.", "1app.Main", "app.1Main", "a/b/C", "/Main",
                                "mod/", "app\"Main", "app\\Main", "app.Main\t", "@args"})
        EXPECT_FALSE(java_command_class_valid(invalid)) << invalid;
}

TEST(JavaCommand, APieceWithABlankOrQuoteIsQuotedByTheRuntimesRules)
{
    const char* const cases[][2] = {
        {"C:\\java\\bin\\java.exe", "C:\\java\\bin\\java.exe"},
        {"C:\\a b\\*", "\"C:\\a b\\*\""},
        {"C:\\a b\\", "\"C:\\a b\\\\\""},
        {"a\\\"b c", "\"a\\\\\\\"b c\""},
        {"", "\"\""},
    };
    char out[64];
    for (const auto& c : cases) {
        ASSERT_EQ(java_command_quote(c[0], out, sizeof out), 1) << c[0];
        EXPECT_STREQ(out, c[1]);
    }
    EXPECT_EQ(java_command_quote("a b", out, 5), 0);
    EXPECT_STREQ(out, "");
}

TEST(JavaCommand, UnderAListOnlyOptionsThatStayInsideTheApplicationPass)
{
    char out[256];
    char refused[JAVA_OPTION_SIZE];
    // What passes comes back as Java gets it.
    const char* const passing[][2] = {
        {"-Xmx1g -Xms256m -Xss4M -Xmn64m -server", "-Xmx1g -Xms256m -Xss4M -Xmn64m -server"},
        {"-Dfile.encoding=UTF-8 -Da=\"b c\" -Dflag", "-Dfile.encoding=UTF-8 \"-Da=b c\" -Dflag"},
        {"-ea -da:app... -esa -dsa -enableassertions:a.M", "-ea -da:app... -esa -dsa -enableassertions:a.M"},
        {"-XX:+UseG1GC -XX:-UsePerfData -XX:MaxRAMPercentage=75.0 -XX:MaxMetaspaceSize=256m",
         "-XX:+UseG1GC -XX:-UsePerfData -XX:MaxRAMPercentage=75.0 -XX:MaxMetaspaceSize=256m"},
        {"--add-opens java.base/java.lang=ALL-UNNAMED --add-modules=java.se "
         "--enable-native-access=ALL-UNNAMED",
         "--add-opens java.base/java.lang=ALL-UNNAMED --add-modules=java.se "
         "--enable-native-access=ALL-UNNAMED"},
        {"  ", ""},
    };
    for (const auto& c : passing) {
        EXPECT_EQ(java_command_check_vmargs(c[0], out, sizeof out, refused, sizeof refused), 1);
        EXPECT_STREQ(out, c[1]);
        EXPECT_STREQ(refused, "");
    }
    // What is refused is named as Java would have read it.
    const char* const refusing[][2] = {
        {"-Xmx1g -javaagent:\\\\h\\a.jar", "-javaagent:\\\\h\\a.jar"},
        {"@\\\\h\\args", "@\\\\h\\args"},
        {"-Xbootclasspath/a:\\\\h\\x.jar", "-Xbootclasspath/a:\\\\h\\x.jar"},
        {"-jar x.jar", "-jar"}, {"-cp \\\\h\\x", "-cp"}, {"-agentpath:C:\\x.dll", "-agentpath:C:\\x.dll"},
        {"-Djava.ext.dirs=\\\\h\\e", "-Djava.ext.dirs=\\\\h\\e"},
        {"-Djava.library.path=x", "-Djava.library.path=x"},
        {"-Djavax.net.ssl.trustStore=x", "-Djavax.net.ssl.trustStore=x"}, {"-D=x", "-D=x"},
        {"-Xmx1g:x", "-Xmx1g:x"}, {"-XX:OnError=calc", "-XX:OnError=calc"},
        {"-XX:HeapDumpPath=\\\\h\\d", "-XX:HeapDumpPath=\\\\h\\d"}, {"-XX:Flags=.rc", "-XX:Flags=.rc"},
        {"-Xlog:gc:file=x", "-Xlog:gc:file=x"}, {"--add-opens", "--add-opens"},
        {"--add-modules \\\\h\\m", "--add-modules=\\\\h\\m"}, {"--module-path m", "--module-path"},
        {"-Da=\\\"b", "-Da=\"b"}, {"-Da=\"b", "-Da=\"b"}, {"-ea:C:\\x", "-ea:C:\\x"},
        {"-Djava.io.tmpdir=\\\\h@SSL\\t", "-Djava.io.tmpdir=\\\\h@SSL\\t"},
        {"-Dapp.home=C:/x", "-Dapp.home=C:/x"},
    };
    for (const auto& c : refusing) {
        EXPECT_EQ(java_command_check_vmargs(c[0], out, sizeof out, refused, sizeof refused), 0);
        EXPECT_STREQ(out, "");
        EXPECT_STREQ(refused, c[1]) << c[0];
    }
    // Too long for out: refused without an option to name.
    EXPECT_EQ(java_command_check_vmargs("-Xmx1g -Xms1g", out, 8, refused, sizeof refused), 0);
    EXPECT_STREQ(refused, "");
}

} // namespace
