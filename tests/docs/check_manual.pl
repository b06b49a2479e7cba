#!/usr/bin/perl
# Checks the user manual as shipped and against what it describes, so that it cannot drift:
#   - the HTML page (MANUAL_DIR/index.html) is Japanese UTF-8, and every picture, file and heading
#     it links is there;
#   - it shows the same pictures as the README's walk through the pages;
#   - every message it explains under "メッセージと対処" is one the programs show ("…" where they
#     put a name or a number, a space where they break the line).
#   check_manual.pl SOURCE_DIR MANUAL_DIR
use strict;
use warnings;
use utf8;
use File::Find;
binmode STDOUT, ':encoding(UTF-8)';

my ($source, $manual) = @ARGV;
die "usage: check_manual.pl SOURCE_DIR MANUAL_DIR\n" unless defined $manual;
my @failures;
sub slurp { open my $f, '<:encoding(UTF-8)', $_[0] or die "cannot read $_[0]: $!\n"; local $/; <$f> }

my $html = slurp("$manual/index.html");
push @failures, 'the page does not say it is Japanese' unless $html =~ /<html lang="ja">/;
push @failures, 'the page does not say it is UTF-8' unless $html =~ /<meta charset="utf-8">/;
my %ids = map { $_ => 1 } $html =~ /\bid="([^"]+)"/g;
for my $link ($html =~ /\b(?:src|href)="([^"]+)"/g) {
    next if $link =~ m{^[a-z]+://};
    if ($link =~ /^#(.*)/) {
        (my $id = $1) =~ s/%([0-9A-F]{2})/chr(hex $1)/ge;
        utf8::decode($id);
        push @failures, "the link #$id leads to no heading" unless $ids{$id};
    } elsif (!-f "$manual/$link") {
        push @failures, "the page links $link, which is not beside it";
    }
}
my @shown = $html =~ /<img src="([^"]+)"/g;
push @failures, 'the page shows no picture' unless @shown;

my $markdown = slurp("$source/docs/manual.md");
my %inManual = map { $_ => 1 } $markdown =~ m{\]\(pages/([^)]+\.png)\)}g;
my %inReadme = map { $_ => 1 } slurp("$source/README.md") =~ m{\]\(docs/pages/([^)]+\.png)\)}g;
for (sort keys %inReadme) { push @failures, "the README shows $_, the manual does not" unless $inManual{$_}; }
for (sort keys %inManual) { push @failures, "the manual shows $_, the README does not" unless $inReadme{$_}; }

# What the programs say: their string literals, adjacent ones joined, as the user reads them.
my @said;
find(sub {
    return unless /\.(?:cpp|h)$/;
    my $code = slurp($_);
    $code =~ s/"\s*\n\s*"//g;
    for my $literal ($code =~ /"((?:[^"\\\n]|\\.)*)"/g) {
        $literal =~ s/\\r\\n|\\n/ /g;
        $literal =~ s/%\d/…/g;
        $literal =~ s/\\(.)/$1/g;
        push @said, $literal;
    }
}, "$source/src", "$source/tools");
my $said = join "\n", @said;
my ($messages) = $markdown =~ /^## メッセージと対処\n(.*?)(?=^## )/ms;
my @explained = ($messages // '') =~ /^### (.+)$/mg;
push @failures, 'the manual explains no message' unless @explained;
for my $message (@explained) {
    push @failures, "the manual explains \"$message\", which no program says" if index($said, $message) < 0;
}

# The other way: every message box a page shows with words of its own is explained (a heading that
# begins it). Messages built from another layer's reasons are explained by what they begin with.
my @boxes;
find(sub {
    return unless /\.cpp$/;
    my $code = slurp($_);
    $code =~ s/"\s*\n\s*"//g;
    while ($code =~ /\b(?:message|messageWhenShown|question|messageWithChoice|messageBox)\(\s*(?:this,\s*|nullptr,\s*|parent,\s*)?QStringLiteral\("((?:[^"\\\n]|\\.)*)"\)/g) {
        (my $literal = $1) =~ s/\\r\\n|\\n/ /g;
        $literal =~ s/%\d/…/g;
        $literal =~ s/\\(.)/$1/g;
        push @boxes, $literal;
    }
}, "$source/src/pages", "$source/src/shell");
for my $box (@boxes) {
    next if grep { index($box, $_) == 0 } @explained;
    push @failures, "the page's message \"$box\" is not explained in the manual";
}

if (@failures) { print "$_\n" for @failures; exit 1; }
printf "the manual: %d pictures, %d messages the programs say, every link there\n", scalar @shown, scalar @explained;
