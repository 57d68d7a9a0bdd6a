#!/usr/bin/perl
# Writes a Chinese manual page as groff must see it. The title line is left as it is.
#
# - A zero-width break point (\:) after every CJK character and full-width punctuation mark:
#   groff 1.22 breaks lines only at spaces, and Chinese text has none, so without them long runs
#   cannot be broken and man warns.
# - Where a source line ends in Chinese and the next begins in Chinese, the two are joined with
#   \c: groff puts a space at every line join, as Latin text wants, and that space would stand
#   between two Chinese characters ("无流控 发送"). A line ending in Latin text, or a join into
#   a request other than a font macro, keeps its space.
#   perl man_cjk.pl IN OUT
use strict;
use utf8;
use warnings;

my $cjk = qr/[\x{3000}-\x{303F}\x{4E00}-\x{9FFF}\x{FF00}-\x{FFEF}]/;
# The macros that only set a font: their text continues the paragraph.
my $font_macro = qr/^\.(?:B|I|BR|BI|IB|IR|RB|RI|SM|SB)(?:\s|$)/;

open(my $in, '<:encoding(UTF-8)', $ARGV[0]) or die "$ARGV[0]: $!";
my @lines = <$in>;
close($in);

# The first character a line puts into the paragraph, when the line continues one.
sub first_char {
  my ($line) = @_;
  return undef if $line =~ /^['.]/ && $line !~ $font_macro;
  $line =~ s/$font_macro//;
  $line =~ s/^(?:\s|"|\\f[BIRP]|\\&)+//;
  return substr($line, 0, 1);
}

# The last character a line puts into the paragraph.
sub last_char {
  my ($line) = @_;
  $line =~ s/(?:\s|"|\\f[BIRP])+$//;
  return substr($line, -1, 1);
}

# A macro's arguments as groff splits them: at spaces, a quoted one whole ("" inside it is a quote).
sub arguments {
  my ($text) = @_;
  my @args;
  while ($text =~ /\G\s*(?:"((?:[^"]|"")*)"?|(\S+))/gc) {
    push @args, defined $1 ? $1 =~ s/""/"/gr : $2;
  }
  return @args;
}

open(my $out, '>:encoding(UTF-8)', $ARGV[1]) or die "$ARGV[1]: $!";
my $fill = 1;    # between .nf and .fi every line stands on its own
my $tag = 0;     # the line after .TP is the tag, which the body must not join
for my $i (0 .. $#lines) {
  my $line = $lines[$i];
  my $is_tag = $tag;
  $tag = $line =~ /^\.TP\b/;
  $fill = 0 if $line =~ /^\.nf\b/;
  $fill = 1 if $line =~ /^\.fi\b/;
  if ($line =~ /^\.(TH|\\")/) {
    print $out $line;
    next;
  }
  my $continues = $line !~ /^['.]/ || $line =~ $font_macro;
  my $join = 0;
  if ($fill && $continues && !$is_tag && $i < $#lines && $line =~ /\S/) {
    my $next = first_char($lines[$i + 1]);
    $join = defined($next) && $next =~ $cjk && last_char($line) =~ $cjk;
  }
  # .B and .I set the font until the end of the next input line, which \c would make the joined
  # line: written out as text, the font ends where the words do.
  if ($join && $line =~ /^\.([BI])\s+(.*?)\s*$/) {
    $line = "\\&\\f$1" . join(' ', arguments($2)) . "\\fR\n";
  }
  # No break before closing punctuation, which must not begin a line.
  $line =~ s/($cjk)(?![）)，。、；：！？」』])/$1\\:/g;
  $line =~ s/\n$/\\c\n/ if $join;
  print $out $line;
}
close($out) or die "$ARGV[1]: $!";
