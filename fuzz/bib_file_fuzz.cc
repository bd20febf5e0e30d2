// Fuzzes the .bib reader and the edit writer. Every span the reader gives
// must lie inside the input, in order, each entry from its '@' to its close
// delimiter; markers inserted at the key commas and value ends must come
// out again to give the input back; and a field inserted after each key's
// comma, with an empty piece joined to each value, must read back as the
// same entries with that one field more.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bib/bib_file.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool inside(const tolvar::BibSpan& span, size_t begin, size_t end) {
  return begin <= span.begin && span.begin <= span.end && span.end <= end;
}

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

size_t line_of(std::string_view text, size_t offset) {
  return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
}

void check_view(std::string_view text, std::string_view view, size_t begin, size_t end) {
  check(view.data() >= text.data() + begin && view.data() + view.size() <= text.data() + end);
}

void check_names(const std::string& value) {
  const char* after = value.data();
  for (const std::string_view name : tolvar::split_bib_names(value)) {
    check(!name.empty() && !is_space(name.front()) && !is_space(name.back()));
    check(name.data() >= after && name.data() + name.size() <= value.data() + value.size());
    after = name.data() + name.size();
  }
}

void check_spans(std::string_view text, const tolvar::BibFile& file) {
  size_t after = 0;
  for (const tolvar::BibEntry& entry : file.entries) {
    const tolvar::BibSpan span = entry.span;
    check(inside(span, after, text.size()) && span.end - span.begin >= 3);
    check(text[span.begin] == '@' && text[span.end - 1] == entry.close);
    check(entry.close == '}' || entry.close == ')');
    check(entry.line == line_of(text, span.begin));
    check_view(text, entry.type, span.begin, span.end);
    check_view(text, entry.citation_key, span.begin, span.end);
    size_t field_after = span.begin;
    if (entry.after_key_comma != 0) {
      check(entry.after_key_comma > span.begin && entry.after_key_comma < span.end);
      check(text[entry.after_key_comma - 1] == ',');
      field_after = entry.after_key_comma;
    } else {
      check(entry.fields.empty());
    }
    for (const tolvar::BibField& field : entry.fields) {
      check(inside(field.name_span, field_after, span.end - 1));
      check(text.substr(field.name_span.begin, field.name_span.end - field.name_span.begin) ==
            field.name);
      check(field.name.data() == text.data() + field.name_span.begin && !field.name.empty());
      check(field.equals_at >= field.name_span.end && text[field.equals_at] == '=');
      check(inside(field.value_span, field.equals_at + 1, span.end - 1));
      check(field.value_span.end > field.value_span.begin);
      const char first = text[field.value_span.begin];
      check(field.delimiter == 0 ? first != '{' && first != '"' : first == field.delimiter);
      check(field.line == line_of(text, field.name_span.begin));
      check(entry.field(field.name) != nullptr);
      check_names(field.value);
      field_after = field.value_span.end;
    }
    after = span.end;
  }
  const size_t lines = line_of(text, text.size());
  for (const tolvar::BibProblem& problem : file.problems) {
    check(problem.line >= 1 && problem.line <= lines && !problem.what.empty());
  }
}

// A marker at every key comma and value end; taken out again, the input.
void check_round_trip(std::string_view text, const tolvar::BibFile& file) {
  const std::string marker = "<\x01>";
  std::vector<tolvar::BibEdit> edits;
  for (const tolvar::BibEntry& entry : file.entries) {
    if (entry.after_key_comma != 0) {
      edits.push_back({entry.after_key_comma, entry.after_key_comma, marker});
    }
    for (const tolvar::BibField& field : entry.fields) {
      edits.push_back({field.value_span.end, field.value_span.end, marker});
    }
  }
  const std::string out = tolvar::apply_bib_edits(text, edits);
  check(out.size() == text.size() + edits.size() * marker.size());
  std::string back;
  size_t at = 0;
  size_t copied = 0;
  for (const tolvar::BibEdit& edit : edits) {
    const size_t length = edit.begin - copied;
    check(out.compare(at + length, marker.size(), marker) == 0);
    back.append(out, at, length);
    at += length + marker.size();
    copied = edit.begin;
  }
  back.append(out, at, std::string::npos);
  check(back == text);
}

// What the keys run does to a file must not change how it reads: a field
// after each key's comma (or before each first field), and an empty piece
// joined to each value.
void check_edited_reads_back(std::string_view text, const tolvar::BibFile& file,
                             bool before_first_field) {
  std::vector<tolvar::BibEdit> edits;
  for (const tolvar::BibEntry& entry : file.entries) {
    if (before_first_field && !entry.fields.empty()) {
      const size_t at = entry.fields.front().name_span.begin;
      edits.push_back({at, at, "tolvarkey = {k},\r\n  "});
    } else if (!before_first_field && entry.after_key_comma != 0) {
      edits.push_back({entry.after_key_comma, entry.after_key_comma, "\n  tolvarkey = {k},"});
    }
    for (const tolvar::BibField& field : entry.fields) {
      edits.push_back({field.value_span.end, field.value_span.end, " # \"\""});
    }
  }
  const std::string edited = tolvar::apply_bib_edits(text, edits);
  tolvar::BibFile again;
  tolvar::read_bib_file(edited, &again);
  check_spans(edited, again);
  check(again.entries.size() == file.entries.size());
  check(again.problems.size() == file.problems.size());
  for (size_t i = 0; i < file.problems.size(); ++i) {
    check(again.problems[i].what == file.problems[i].what);
    check(again.problems[i].entry == file.problems[i].entry);
  }
  for (size_t i = 0; i < file.entries.size(); ++i) {
    const tolvar::BibEntry& before = file.entries[i];
    const tolvar::BibEntry& after = again.entries[i];
    check(after.type == before.type && after.citation_key == before.citation_key);
    const size_t added =
        (before_first_field ? !before.fields.empty() : before.after_key_comma != 0) ? 1 : 0;
    check(after.fields.size() == before.fields.size() + added);
    if (added) check(after.fields[0].name == "tolvarkey" && after.fields[0].value == "k");
    for (size_t k = 0; k < before.fields.size(); ++k) {
      const tolvar::BibField& a = after.fields[k + added];
      const tolvar::BibField& b = before.fields[k];
      check(a.name == b.name && a.value == b.value && a.delimiter == b.delimiter);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tolvar::BibFile file;
  tolvar::read_bib_file(text, &file);
  check_spans(text, file);
  check_round_trip(text, file);
  check_edited_reads_back(text, file, false);
  check_edited_reads_back(text, file, true);
  return 0;
}
