#!/bin/sh
# Fails unless the checked transcripts (the *.expected files beside this
# script) show every text of messages.txt and every word of the plugin's
# command table in each of its three forms: on the server console
# (">> console WORD"), from a player's console (">> cmd NAME WORD") and said
# in chat (">> say NAME /WORD" or say_team).  Names each one missing.
#
#   check_coverage.sh COMMAND_TABLE_SOURCE [FRAGMENT...]
#
# The words are read from the table's source, so a new command is looked for
# as soon as it has a row.  FRAGMENTs are looked for besides messages.txt.
set -eu
here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd)
table=$1
shift

# The rows' words: {{"sl", "showlast"}, ...} and {{"kel", nullptr}, ...}.
words=$(grep -o '{{"[^"]*", *\("[^"]*"\|nullptr\)}' "$table" | grep -o '"[^"]*"' | tr -d '"')
if [ -z "$words" ]; then
  echo "FAIL: found no command words in $table (has the table's form changed?)"
  exit 1
fi

extra=$(mktemp)
trap 'rm -f "$extra"' EXIT
for fragment in "$@"; do printf '%s\n' "$fragment" >>"$extra"; done

# The files are read in this order: the words, messages.txt and the extra
# fragments (what to look for), then the transcripts.
printf '%s\n' "$words" | awk -v messages="$here/messages.txt" -v extra="$extra" '
  FILENAME == "-" { wanted_words[++word_count] = $0; next }
  FILENAME == messages || FILENAME == extra {
    if ($0 ~ /^#/ || $0 == "") next
    if (index($0, "unreachable: ") == 1) { ++unreachable; next }
    fragments[++fragment_count] = $0
    next
  }
  {
    line = $0
    for (i = 1; i <= fragment_count; ++i) {
      if (found[i]) continue
      text = fragments[i]
      anchored = substr(text, length(text)) == "$"
      if (anchored) text = substr(text, 1, length(text) - 1)
      at = index(line, text)
      if (at > 0 && (!anchored || at + length(text) - 1 == length(line))) found[i] = 1
    }
    # A step line: "[    1.00] >> VERB ARGS".
    step = index(line, "] >> ")
    if (step == 0) next
    count = split(substr(line, step + 5), f, " ")
    if (f[1] == "console" && count >= 2) form["console", f[2]] = 1
    if (f[1] == "cmd" && count >= 3) form["cmd", f[3]] = 1
    if ((f[1] == "say" || f[1] == "say_team") && count >= 3 && substr(f[3], 1, 1) == "/")
      form["say", substr(f[3], 2)] = 1
  }
  END {
    missing = 0
    for (i = 1; i <= fragment_count; ++i) {
      if (!found[i]) { print "FAIL: no transcript shows: " fragments[i]; ++missing }
    }
    for (w = 1; w <= word_count; ++w) {
      word = wanted_words[w]
      if (!form["console", word]) { print "FAIL: no transcript has: >> console " word; ++missing }
      if (!form["cmd", word]) { print "FAIL: no transcript has: >> cmd NAME " word; ++missing }
      if (!form["say", word]) { print "FAIL: no transcript has: >> say NAME /" word; ++missing }
    }
    if (missing > 0) exit 1
    printf "%d texts and %d command words in 3 forms each are shown (%d texts listed as unreachable)\n",
           fragment_count, word_count, unreachable
  }
' - "$here/messages.txt" "$extra" "$here"/*.expected
