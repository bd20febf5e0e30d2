#include "bib/bib_file.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

// GBK characters used below, and two whose second byte is '\' and '@'.
#define ZHANG "\xD5\xC5"
#define SAN "\xC8\xFD"
#define LI "\xC0\xEE"
#define SI "\xCB\xC4"
#define TRAIL_BACKSLASH "\x81\x5C"
#define TRAIL_AT "\x81\x40"

namespace tolvar {
namespace {

std::string show_value(const BibField& field) {
  if (field.delimiter == '{') return "{" + field.value + "}";
  if (field.delimiter == '"') return "\"" + field.value + "\"";
  return field.value;
}

// One line per entry: "@type{key line name=value:line ...", a '(' for an
// entry in parentheses; then one line per problem: "! line key: what".
std::string show(const BibFile& file) {
  std::string shown;
  for (const BibEntry& entry : file.entries) {
    shown += "@" + std::string(entry.type) + (entry.close == '}' ? "{" : "(") +
             std::string(entry.citation_key) + " " + std::to_string(entry.line);
    for (const BibField& field : entry.fields) {
      shown += " " + std::string(field.name) + "=" + show_value(field) + ":" +
               std::to_string(field.line);
    }
    shown += "\n";
  }
  for (const BibProblem& problem : file.problems) {
    shown += "! " + std::to_string(problem.line) + " " + problem.entry + ": " + problem.what + "\n";
  }
  return shown;
}

std::string read_and_show(std::string_view text) {
  BibFile file;
  read_bib_file(text, &file);
  return show(file);
}

struct ReadCase {
  const char* name;
  std::string text;
  std::string shown;
};

void expect_reads(const std::vector<ReadCase>& cases) {
  for (const ReadCase& c : cases) {
    EXPECT_EQ(read_and_show(c.text), c.shown) << c.name;
  }
}

TEST(BibFileTest, ReadsEntries) {
  expect_reads({
      {"braces", "@book{k1,\n  title = {A {B} c},\n  year = 2020,\n}\n",
       "@book{k1 1 title={A {B} c}:2 year=2020:3\n"},
      {"no trailing comma", "@book{k1, title = {T}}", "@book{k1 1 title={T}:1\n"},
      {"parentheses", "@Article(k2, Author = \"X and Y\")", "@Article(k2 1 Author=\"X and Y\":1\n"},
      {"a brace in a parenthesized entry", "@misc(k, note = {)}, title = \"(\")",
       "@misc(k 1 note={)}:1 title=\"(\":1\n"},
      {"no fields", "@misc{k3}\n@misc{k4,}\n@misc(k5)", "@misc{k3 1\n@misc{k4 2\n@misc(k5 3\n"},
      {"empty key", "@misc{,title={T}}", "@misc{ 1 title={T}:1\n"},
      {"white space around the head", "@ book\n  { k ,\n}", "@book{k 1\n"},
      {"empty values", "@misc{k, a = {}, b = \"\"}", "@misc{k 1 a={}:1 b=\"\":1\n"},
      {"line ends and blanks kept inside a value", "@misc{k, a = { x\r\n\ty }}",
       "@misc{k 1 a={ x\r\n\ty }:1\n"},
      {"a quote inside braces does not end a quoted value",
       "@misc{k, title = \"a {\"} b\", path = \"C:\\\"}",
       "@misc{k 1 title=\"a {\"} b\":1 path=\"C:\\\":1\n"},
      {"a backslash is a byte in a braced value", "@misc{k, a = {\\}}, b = {x}}",
       "@misc{k 1 a={\\}:1\n"},
      {"entries after one another", "@a{x,}@b{y,}\n\n@c{z, f = 1}",
       "@a{x 1\n@b{y 1\n@c{z 3 f=1:3\n"},
  });
}

TEST(BibFileTest, JoinsPiecesAndExpandsMacros) {
  expect_reads({
      {"pieces", "@misc{k, a = {x} # \"y\" # 12 # {z}}", "@misc{k 1 a={xy12z}:1\n"},
      {"pieces over lines", "@misc{k,\n a = \"x\"\n   #\n {y}\n}", "@misc{k 1 a=\"xy\":2\n"},
      {"macro", "@string{pub = \"Pub\"}\n@book{k, publisher = pub # \" \" # {House}}",
       "@book{k 2 publisher=Pub House:2\n"},
      {"macro names ignore case", "@STRING(Pub = {P})\n@book{k, publisher = PUB, note = pUb}",
       "@book{k 2 publisher=P:2 note=P:2\n"},
      {"a macro from an earlier one", "@string{a = \"x\"}\n@string{b = a # \"y\"}\n@misc{k, f = b}",
       "@misc{k 3 f=xy:3\n"},
      {"a later definition wins", "@string{a = \"1\"}\n@string{a = \"2\"}\n@misc{k, f = a}",
       "@misc{k 3 f=2:3\n"},
      {"unknown macro gives nothing", "@misc{k, f = nosuch # \"z\", g = nosuch}",
       "@misc{k 1 f=z:1 g=:1\n"},
      {"months", "@misc{k, month = jan # \"~1\", m2 = DEC, m3 = sep}",
       "@misc{k 1 month=January~1:1 m2=December:1 m3=September:1\n"},
      {"a @string month wins", "@string{jan = \"1\"}\n@misc{k, month = jan}", "@misc{k 2 month=1:2\n"},
      {"a macro used before it is defined", "@misc{k, f = later}\n@string{later = {L}}",
       "@misc{k 1 f=:1\n"},
      {"@string keeps inner braces", "@string{s = {a {B}}}\n@misc{k, f = s}", "@misc{k 2 f=a {B}:2\n"},
  });
}

TEST(BibFileTest, SkipsWhatIsNotAnEntry) {
  expect_reads({
      {"text and e-mail addresses", "Written by a@b.org and @ someone.\n@book{k,}\n", "@book{k 2\n"},
      {"comment line", "% @book{hidden, title = {x}}\n  %@book{hidden2,}\n@book{k,}",
       "@book{k 3\n"},
      {"a '%' inside a line is text", "x % y @book{k,}", "@book{k 1\n"},
      {"@comment", "@comment{@book{hidden, title = {x}}}\n@book{k,}", "@book{k 2\n"},
      {"@comment in parentheses, any case", "@COMMENT(x (y) @book{hidden,})\n@book{k,}",
       "@book{k 2\n"},
      {"@comment over lines", "@Comment{jabref-meta:\n@book{hidden,\n}\n}\n@book{k,}", "@book{k 5\n"},
      {"@preamble", "@preamble{ \"\\newcommand{\\x}{y}\" }\n@book{k,}", "@book{k 2\n"},
      {"comment lines inside an entry", "@book{k,\n  % note = {x},\n  title = {T} % end\n}",
       "@book{k 1 title={T}:3\n"},
  });
}

TEST(BibFileTest, LineEnds) {
  expect_reads({
      {"CR LF between every token",
       "@book\r\n{\r\nk\r\n,\r\ntitle\r\n=\r\n{T}\r\n#\r\n\"U\"\r\n,\r\n}\r\n@misc{m,}\r\n",
       "@book{k 1 title={TU}:5\n@misc{m 12\n"},
      {"lines counted in values", "@misc{a, f = {x\r\ny\r\n}, g = \"\r\n\", h = 1}",
       "@misc{a 1 f={x\r\ny\r\n}:1 g=\"\r\n\":3 h=1:4\n"},
      {"a lone CR is no line end", "@misc{a,\rf = 1}", "@misc{a 1 f=1:1\n"},
  });
}

// GBK bytes are bytes: a second byte that looks like '\' or '@' is neither
// an escape nor an entry start.
TEST(BibFileTest, GbkBytes) {
  expect_reads({
      {"Chinese values", "@book{" ZHANG SAN "2020, author = {" ZHANG SAN " and " LI SI "}}",
       "@book{" ZHANG SAN "2020 1 author={" ZHANG SAN " and " LI SI "}:1\n"},
      {"a second byte '\\' before a closing quote",
       "@misc{k, title = \"" TRAIL_BACKSLASH "\", note = {" TRAIL_BACKSLASH "}}",
       "@misc{k 1 title=\"" TRAIL_BACKSLASH "\":1 note={" TRAIL_BACKSLASH "}:1\n"},
      {"a second byte '@' in a value", "@misc{k, title = {" ZHANG "\n" TRAIL_AT "book{x,}}}",
       "@misc{k 1 title={" ZHANG "\n" TRAIL_AT "book{x,}}:1\n"},
      {"a second byte '@' in a comment line", "% " TRAIL_AT "book{x,}\n@misc{k,}", "@misc{k 2\n"},
      {"bytes of no encoding", "@misc{k, f = {\xFF\x80\x01}, \xE9\xA2\x98 = 1}",
       "@misc{k 1 f={\xFF\x80\x01}:1 \xE9\xA2\x98=1:1\n"},
  });
}

// Each fault is reported at its line; the entry is left out, and reading
// goes on at the next line that starts with '@'.
TEST(BibFileTest, ProblemsAndRecovery) {
  const std::string next = "\n@book{b, f = 1}\n";
  expect_reads({
      {"unbalanced brace in a braced value", "@book{a,\n  title = {{T\n}" + next,
       "@book{b 4 f=1:4\n! 2 a: unbalanced brace\n"},
      {"unbalanced brace in a quoted value", "@book{a,\n\n  title = \"x {y\",\n}" + next,
       "@book{b 5 f=1:5\n! 3 a: unbalanced brace\n"},
      {"closing brace in a quoted value", "@book{a,\n  title = \"x}y\",\n}" + next,
       "@book{b 4 f=1:4\n! 2 a: unbalanced brace\n"},
      {"unclosed quote", "@book{a,\n  title = \"x,\n  year = 2020,\n" + next,
       "@book{b 5 f=1:5\n! 2 a: unclosed quote\n"},
      {"unclosed quote before the close", "@book{a,\n  title = \"x,\n}" + next,
       "@book{b 4 f=1:4\n! 2 a: unbalanced brace\n"},
      {"field without '='", "@book{a,\n  title {T}\n}" + next,
       "@book{b 4 f=1:4\n! 2 a: field without \"=\"\n"},
      {"value missing", "@book{a,\n  title = ,\n}" + next, "@book{b 4 f=1:4\n! 2 a: value missing\n"},
      {"piece missing after '#'", "@book{a,\n  title = {x} # ,\n}" + next,
       "@book{b 4 f=1:4\n! 2 a: value missing\n"},
      {"junk where a ',' should be", "@book{a,\n  title = {T} year = 2020\n}" + next,
       "@book{b 4 f=1:4\n! 2 a: \",\" missing after a value\n"},
      {"a number with letters", "@book{a, year = 2020a}" + next,
       "@book{b 2 f=1:2\n! 1 a: \",\" missing after a value\n"},
      {"field name missing", "@book{a,\n  title = {T},,\n}" + next,
       "@book{b 4 f=1:4\n! 2 a: field name missing\n"},
      {"citation key missing", "@book{title = {T}}" + next,
       "@book{b 2 f=1:2\n! 1 : citation key missing\n"},
      {"',' missing after the citation key", "@book{a b,\n}" + next,
       "@book{b 3 f=1:3\n! 1 a: \",\" missing after the citation key\n"},
      {"entry not closed", "@book{a,\n  title = {T},\n" + next,
       "@book{b 4 f=1:4\n! 1 a: entry not closed\n"},
      {"entry not closed after a value", "@book{a,\n  title = {T}\n  @book{b, f = 1}",
       "@book{b 3 f=1:3\n! 1 a: entry not closed\n"},
      {"entry not closed before its key", "@book{\n@book{b, f = 1}",
       "@book{b 2 f=1:2\n! 1 : entry not closed\n"},
      {"an extra brace ends the entry early", "@book{a,\n  title = {T {x},\n  year = 2020\n}" + next,
       "@book{b 5 f=1:5\n! 1 a: entry not closed\n"},
      {"end of file in an entry", "@book{b, f = 1}\n@book{a,\n  title = {T},\n",
       "@book{b 1 f=1:1\n! 2 a: end of file inside an entry\n"},
      {"end of file in a value", "@book{b, f = 1}\n@book{a,\n  title = {T,\n",
       "@book{b 1 f=1:1\n! 3 a: unbalanced brace\n"},
      {"end of file after the key", "@book{a", "! 1 a: end of file inside an entry\n"},
      {"unbalanced @comment", "@comment{x {\n" + next, "@book{b 3 f=1:3\n! 1 : unbalanced brace\n"},
      {"unbalanced @preamble", "@preamble(\"(\"\n" + next,
       "@book{b 3 f=1:3\n! 1 : unbalanced parenthesis\n"},
      {"bad @string", "@string{x = }" + next + "@misc{c, f = x}",
       "@book{b 2 f=1:2\n@misc{c 3 f=:3\n! 1 : value missing\n"},
      {"the rest of the fault's line is skipped", "@book{a, title}, @book{x,}" + next,
       "@book{b 2 f=1:2\n! 1 a: field without \"=\"\n"},
      {"an '@' line that is no entry is text", "@book{a, title}\n@ x\n@book{b,}",
       "@book{b 3\n! 1 a: field without \"=\"\n"},
      {"a failed value is not read again", "@book{a, title = \"x\n @x@book{c, f = 1}" + next,
       "@book{b 3 f=1:3\n! 1 a: unclosed quote\n"},
      {"problems after one another", "@book{a, x}\n@book{b, y = }\r\n@book{c,}",
       "@book{c 3\n! 1 a: field without \"=\"\n! 2 b: value missing\n"},
  });
}

TEST(BibFileTest, SpansAreExact) {
  const std::string text = "% c\n@Book{ key ,\n  Title = {A} # \"B\" ,\n  year=2020}\ntail";
  BibFile file;
  read_bib_file(text, &file);
  ASSERT_EQ(file.entries.size(), 1u);
  const BibEntry& entry = file.entries[0];
  EXPECT_EQ(entry.span.begin, 4u);
  EXPECT_EQ(text.substr(entry.span.begin, entry.span.end - entry.span.begin),
            "@Book{ key ,\n  Title = {A} # \"B\" ,\n  year=2020}");
  EXPECT_EQ(entry.type, "Book");
  EXPECT_EQ(entry.citation_key, "key");
  EXPECT_EQ(entry.citation_key.data(), text.data() + 11);
  EXPECT_EQ(entry.after_key_comma, 16u);
  EXPECT_EQ(entry.line, 2u);
  ASSERT_EQ(entry.fields.size(), 2u);

  const BibField& title = entry.fields[0];
  EXPECT_EQ(title.name_span.begin, 19u);
  EXPECT_EQ(title.name_span.end, 24u);
  EXPECT_EQ(title.name.data(), text.data() + 19);
  EXPECT_EQ(title.equals_at, 25u);
  EXPECT_EQ(title.value_span.begin, 27u);
  EXPECT_EQ(text.substr(title.value_span.begin, title.value_span.end - title.value_span.begin),
            "{A} # \"B\"");
  EXPECT_EQ(title.delimiter, '{');
  EXPECT_EQ(title.value, "AB");
  EXPECT_EQ(title.line, 3u);

  const BibField& year = entry.fields[1];
  EXPECT_EQ(text.substr(year.name_span.begin, year.name_span.end - year.name_span.begin), "year");
  EXPECT_EQ(text[year.equals_at], '=');
  EXPECT_EQ(text.substr(year.value_span.begin, year.value_span.end - year.value_span.begin), "2020");
  EXPECT_EQ(year.delimiter, 0);
  EXPECT_EQ(year.line, 4u);

  EXPECT_EQ(entry.field("TITLE"), &title);
  EXPECT_EQ(entry.field("Year"), &year);
  EXPECT_EQ(entry.field("titl"), nullptr);
  EXPECT_EQ(entry.field("author"), nullptr);
}

TEST(BibFileTest, EntryWithoutCommaHasNoInsertionPoint) {
  BibFile file;
  read_bib_file("@misc{x}@misc{y,}", &file);
  ASSERT_EQ(file.entries.size(), 2u);
  EXPECT_EQ(file.entries[0].after_key_comma, 0u);
  EXPECT_EQ(file.entries[0].span.end, 8u);
  EXPECT_EQ(file.entries[1].after_key_comma, 16u);
  EXPECT_EQ(file.entries[1].span.end, 17u);
}

TEST(BibFileTest, ReadingAgainReplacesWhatWasRead) {
  BibFile file;
  read_bib_file("@misc{a,}@misc{b, x}", &file);
  read_bib_file("@misc{c,}", &file);
  EXPECT_EQ(show(file), "@misc{c 1\n");
}

// What the keys run does: a field after each key's comma, in the layout of
// the entry's first field; read again, every other field is unchanged.
TEST(BibFileTest, FieldInsertedAfterTheKeyReadsBack) {
  const std::string text =
      "@string{p = \"P\"}\r\n@book{a,\r\n  author = {" ZHANG SAN "},\r\n  publisher = p\r\n}\r\n"
      "@misc{b}\r\n@article(c, title = \"T\" # {U})\r\n@book{bad, x}\r\n";
  BibFile file;
  read_bib_file(text, &file);
  std::vector<BibEdit> edits;
  for (const BibEntry& entry : file.entries) {
    if (entry.after_key_comma == 0) continue;
    edits.push_back({entry.after_key_comma, entry.after_key_comma, "\r\n  key = {k},"});
  }
  const std::string edited = apply_bib_edits(text, edits);
  EXPECT_EQ(edited,
            "@string{p = \"P\"}\r\n@book{a,\r\n  key = {k},\r\n  author = {" ZHANG SAN
            "},\r\n  publisher = p\r\n}\r\n"
            "@misc{b}\r\n@article(c,\r\n  key = {k}, title = \"T\" # {U})\r\n@book{bad, x}\r\n");
  EXPECT_EQ(read_and_show(edited),
            "@book{a 2 key={k}:3 author={" ZHANG SAN "}:4 publisher=P:5\n"
            "@misc{b 7\n@article(c 8 key={k}:9 title=\"TU\":9\n"
            "! 10 bad: field without \"=\"\n");
}

TEST(BibFileTest, AppliesEdits) {
  struct EditCase {
    const char* name;
    std::vector<BibEdit> edits;
    std::string out;
  };
  const std::string input = "abcdef";
  const std::vector<EditCase> cases = {
      {"none", {}, "abcdef"},
      {"insert at the start", {{0, 0, "X"}}, "Xabcdef"},
      {"insert at the end", {{6, 6, "X"}}, "abcdefX"},
      {"replace", {{1, 3, "Z"}}, "aZdef"},
      {"remove", {{2, 4, ""}}, "abef"},
      {"replace all", {{0, 6, "new"}}, "new"},
      {"two insertions at one offset", {{3, 3, "1"}, {3, 3, "2"}}, "abc12def"},
      {"insert then replace from there", {{3, 3, "1"}, {3, 5, "Q"}}, "abc1Qf"},
      {"several", {{0, 0, "<"}, {1, 2, "B"}, {4, 4, "|"}, {6, 6, ">"}}, "<aBcd|ef>"},
      {"overlap moved to the end of the one before", {{1, 4, "X"}, {2, 3, "Y"}}, "aXYef"},
      {"past the end cut", {{5, 100, "Z"}, {100, 100, "!"}}, "abcdeZ!"},
  };
  for (const EditCase& c : cases) {
    EXPECT_EQ(apply_bib_edits(input, c.edits), c.out) << c.name;
  }
  EXPECT_EQ(apply_bib_edits("", {{0, 0, "x"}}), "x");
}

TEST(BibFileTest, SplitsNames) {
  struct NamesCase {
    std::string value;
    std::vector<std::string_view> names;
  };
  const std::vector<NamesCase> cases = {
      {"", {}},
      {"  ", {}},
      {"Doe, John", {"Doe, John"}},
      {"A and B", {"A", "B"}},
      {" A  and\n B\tand C ", {"A", "B", "C"}},
      {"A AND B And C aNd D", {"A", "B", "C", "D"}},
      {"{Barnes and Noble} and " ZHANG SAN, {"{Barnes and Noble}", ZHANG SAN}},
      {"{A {and} B} and {C}", {"{A {and} B}", "{C}"}},
      {"Alexander Anderson and Band", {"Alexander Anderson", "Band"}},
      {"A and and B", {"A", "B"}},
      {"and A and", {"and A and"}},
      {"A\r\nand\r\nB", {"A", "B"}},
      {"A andB and{C}", {"A andB and{C}"}},
      {"A} and B", {"A}", "B"}},
      {ZHANG SAN " and " LI SI " and others", {ZHANG SAN, LI SI, "others"}},
  };
  for (const NamesCase& c : cases) {
    EXPECT_EQ(split_bib_names(c.value), c.names) << c.value;
  }
}

TEST(BibFileTest, NamesPointIntoTheValue) {
  const std::string value = "A and B";
  const std::vector<std::string_view> names = split_bib_names(value);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0].data(), value.data());
  EXPECT_EQ(names[1].data(), value.data() + 6);
}

}  // namespace
}  // namespace tolvar
