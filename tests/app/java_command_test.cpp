#include "app/java_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(JavaCommand, AClassNameIsDottedIdentifiersAfterAnOptionalModule)
{
    const struct {
        const char* text;
        int valid;
    } cases[] = {
        {"M", 1}, {"app.Main", 1}, {"a.b$Inner", 1}, {"_x.$y1", 1}, {"my.mod/app.Main", 1},
        {"kamery.Dom\xC5\x82", 1}, {"", 0}, {"-jar", 0}, {"-jar \\\\host\\x.jar", 0},
        {"app.Main x", 0}, {"app..Main", 0}, {".Main", 0}, {"Main.", 0}, {"1app.Main", 0},
        {"app.1Main", 0}, {"a/b/C", 0}, {"/Main", 0}, {"mod/", 0}, {"app\"Main", 0},
        {"app\\Main", 0}, {"app.Main\t", 0}, {"@args", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(java_command_class_valid(c.text), c.valid) << c.text;
}

TEST(JavaCommand, APieceWithABlankOrQuoteIsQuotedByTheRuntimesRules)
{
    const struct {
        const char* text;
        const char* quoted;
    } cases[] = {
        {"C:\\quorvel\\launcher\\java\\bin\\java.exe", "C:\\quorvel\\launcher\\java\\bin\\java.exe"},
        {"C:\\a b\\*", "\"C:\\a b\\*\""},
        {"C:\\a b\\", "\"C:\\a b\\\\\""},
        {"-Dx=a \"b\"", "\"-Dx=a \\\"b\\\"\""},
        {"a\\\"b", "\"a\\\\\\\"b\""},
        {"tab\there", "\"tab\there\""},
        {"", "\"\""},
    };
    char out[64];
    for (const auto& c : cases) {
        ASSERT_EQ(java_command_quote(c.text, out, sizeof out), 1) << c.text;
        EXPECT_STREQ(out, c.quoted);
    }
    EXPECT_EQ(java_command_quote("a b", out, 5), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(java_command_quote("a b", out, 6), 1);
}

TEST(JavaCommand, UnderAListOnlyOptionsThatStayInsideTheApplicationPass)
{
    // checked: the options again as Java gets them; "" with refused set.
    const struct {
        const char* vmargs;
        const char* checked;
        const char* refused;
    } cases[] = {
        {"-Xmx1g -Xms256m -Xss4M -Xmn64m", "-Xmx1g -Xms256m -Xss4M -Xmn64m", ""},
        {"-Dfile.encoding=UTF-8 -Da=\"b c\" -Dflag", "-Dfile.encoding=UTF-8 \"-Da=b c\" -Dflag", ""},
        {"-ea -da:app... -esa -dsa -enableassertions:app.Main", "-ea -da:app... -esa -dsa "
                                                                "-enableassertions:app.Main", ""},
        {"-XX:+UseG1GC -XX:-UsePerfData -XX:MaxRAMPercentage=75.0 -XX:MaxMetaspaceSize=256m",
         "-XX:+UseG1GC -XX:-UsePerfData -XX:MaxRAMPercentage=75.0 -XX:MaxMetaspaceSize=256m", ""},
        {"--add-opens java.base/java.lang=ALL-UNNAMED --add-modules=java.se",
         "--add-opens java.base/java.lang=ALL-UNNAMED --add-modules=java.se", ""},
        {"--enable-native-access=ALL-UNNAMED -server", "--enable-native-access=ALL-UNNAMED -server",
         ""},
        {"  ", "", ""},
        {"-javaagent:\\\\host\\a.jar", "", "-javaagent:\\\\host\\a.jar"},
        {"-Xmx1g @\\\\host\\args", "", "@\\\\host\\args"},
        {"-Xbootclasspath/a:\\\\host\\x.jar", "", "-Xbootclasspath/a:\\\\host\\x.jar"},
        {"-jar x.jar", "", "-jar"},
        {"-cp \\\\host\\x", "", "-cp"},
        {"-agentpath:C:\\x.dll", "", "-agentpath:C:\\x.dll"},
        {"-Djava.ext.dirs=\\\\host\\ext", "", "-Djava.ext.dirs=\\\\host\\ext"},
        {"-Djava.library.path=\\\\host\\lib", "", "-Djava.library.path=\\\\host\\lib"},
        {"-Djavax.net.ssl.trustStore=x", "", "-Djavax.net.ssl.trustStore=x"},
        {"-D=x", "", "-D=x"},
        {"-Xmx1g:x", "", "-Xmx1g:x"},
        {"-XX:OnError=calc", "", "-XX:OnError=calc"},
        {"-XX:HeapDumpPath=\\\\host\\d", "", "-XX:HeapDumpPath=\\\\host\\d"},
        {"-XX:Flags=.hotspotrc", "", "-XX:Flags=.hotspotrc"},
        {"-XX:VMOptionsFile=x", "", "-XX:VMOptionsFile=x"},
        {"-Xlog:gc:file=\\\\host\\x", "", "-Xlog:gc:file=\\\\host\\x"},
        {"--add-opens", "", "--add-opens"},
        {"--add-modules \\\\host\\m", "", "--add-modules=\\\\host\\m"},
        {"--module-path \\\\host\\m", "", "--module-path"},
        {"-Da=\\\"b", "", "-Da=\"b"},
        {"-Da=\"b", "", "-Da=\"b"},
        {"-ea:C:\\x", "", "-ea:C:\\x"},
    };
    for (const auto& c : cases) {
        char out[256];
        char refused[JAVA_OPTION_SIZE];
        int expected = c.refused[0] ? 0 : 1;
        EXPECT_EQ(java_command_check_vmargs(c.vmargs, out, sizeof out, refused, sizeof refused),
                  expected)
            << c.vmargs;
        EXPECT_STREQ(out, c.checked) << c.vmargs;
        EXPECT_STREQ(refused, c.refused) << c.vmargs;
    }
    char small[8];
    char refused[JAVA_OPTION_SIZE];
    EXPECT_EQ(java_command_check_vmargs("-Xmx1g -Xms1g", small, sizeof small, refused,
                                        sizeof refused), 0);
    EXPECT_STREQ(refused, "");
}

} // namespace
