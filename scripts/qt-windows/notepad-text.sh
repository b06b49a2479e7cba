#!/usr/bin/env bash
# Makes every text file under DIR (the Windows zip's folder) read alike in every Notepad: CR LF line
# ends, and the UTF-8 byte order mark on a file that is not plain ASCII (without it, an older
# Notepad reads UTF-8 in the ANSI code page and shows names as mojibake). Run by the Windows build's
# install step, after everything is in place.
#   notepad-text.sh DIR
set -euo pipefail
find "$1" -type f \( -name '*.txt' -o -name '*.md' -o -name '*.html' -o -name '*.css' -o -name LICENSE \) -print0 |
    while IFS= read -r -d '' text; do
        perl -e '
            local $/; my $t = <STDIN>;
            my $bom = $t =~ s/^\xef\xbb\xbf//;
            $t =~ s/\r?\n/\r\n/g;
            $t .= "\r\n" if length($t) && $t !~ /\r\n\z/;
            print "\xef\xbb\xbf" if $bom || $t =~ /[\x80-\xff]/;
            print $t;' <"$text" >"$text.crlf"
        mv "$text.crlf" "$text"
    done
