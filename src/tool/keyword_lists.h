// SPDX-License-Identifier: MIT
// keyword_lists.h - the keyword lists of the manual page and the shell
// completions, written from the tool's own tables.
//
// A list stands in its document between two comment lines, "BEGIN NAME" and
// "END NAME" (".\" BEGIN machines" in the manual page, "# BEGIN machines" in
// a completion). Rewriting a document replaces what stands between them, so
// a keyword is added to the tables alone and the documents follow.
#pragma once

#include <string>

namespace hdrtune {

enum class DocumentKind { manual_page, bash_completion, zsh_completion };

// The document's text with every list rewritten from the tables; false when
// a BEGIN has no END or names no list this knows.
bool with_keyword_lists(const std::string &text, DocumentKind kind, std::string *rewritten);

}  // namespace hdrtune
