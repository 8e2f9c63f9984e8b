# help2man fills the lines of an EXAMPLES section into one paragraph; keep each command
# on its own line (no-fill mode up to the next section).
/^\.SH / { if (examples) print ".fi"; examples = ($0 == ".SH EXAMPLES") }
examples && /^\.IP$/ { print ".nf"; next }
{ print }
END { if (examples) print ".fi" }
