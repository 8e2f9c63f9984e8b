# shellcheck shell=bash
# Sourced by the installation tests: a manual page checked against its program's --help.
# The caller defines fail MESSAGE.

# Words of a text on one line, single spaces between them.
one_line() { tr -s ' \t\n' ' '; }

# The manual page PAGE (a file, or a name that `man` finds) as man shows it, in plain
# ASCII on lines wide enough that nothing is hyphenated or broken.
manual_page_text() {
  local page=$1
  if [ -f "$page" ]; then
    LC_ALL=C MANWIDTH=400 MAN_KEEP_FORMATTING= man -P cat -l "$page" 2>/dev/null | col -b
  else
    LC_ALL=C MANWIDTH=400 MAN_KEEP_FORMATTING= man -P cat 1 "$page" 2>/dev/null | col -b
  fi
}

# Every line of PROGRAM --help must appear in the manual page PAGE, word for word (the
# usage lines without their "Usage:" and "or:"), so the page says all that the program
# says about itself, and the page's version line must be PROGRAM --version.
check_manual_page() {
  local program=$1 page=$2 help version text line heading missing=0
  help=$("$program" --help) || fail "$program --help failed"
  version=$("$program" --version) || fail "$program --version failed"
  text=$(manual_page_text "$page" | one_line)
  [ -n "$text" ] || fail "no manual page $page"
  while IFS= read -r line; do
    line=$(sed -E 's/^ *(Usage|or): *//' <<<"$line" | one_line)
    line=${line# }
    line=${line% }
    [ -n "$line" ] || continue
    # A heading alone on its line ("Examples:") may become a section title (EXAMPLES).
    heading=${line%:}
    [[ "$line" =~ ^[A-Z][A-Za-z\ ]*:$ && "$text" == *"${heading^^}"* ]] && continue
    if [[ "$text" != *"$line"* ]]; then
      echo "  not in the manual page: $line" >&2
      missing=$((missing + 1))
    fi
  done <<<"$help"
  [ $missing -eq 0 ] || fail "the manual page $page lacks $missing line(s) of $(basename "$program") --help"
  [[ "$text" == *"$(one_line <<<"$version" | sed 's/ $//')"* ]] ||
    fail "the manual page $page does not name the version '$version'"
}
