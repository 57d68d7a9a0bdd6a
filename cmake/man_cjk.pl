#!/usr/bin/perl
# Writes a Chinese manual page with a zero-width break point (\:) after every CJK character and
# full-width punctuation mark: groff 1.22 breaks lines only at spaces, and Chinese text has none,
# so without them long runs cannot be broken and man warns. The title line is left as it is.
#   perl man_cjk.pl IN OUT
use strict;
use utf8;
use warnings;
open(my $in, '<:encoding(UTF-8)', $ARGV[0]) or die "$ARGV[0]: $!";
open(my $out, '>:encoding(UTF-8)', $ARGV[1]) or die "$ARGV[1]: $!";
while (my $line = <$in>) {
  # No break before closing punctuation, which must not begin a line.
  $line =~ s/([\x{3000}-\x{303F}\x{4E00}-\x{9FFF}\x{FF00}-\x{FFEF}])(?![）)，。、；：！？」』])/$1\\:/g
    unless $line =~ /^\.(TH|\\")/;
  print $out $line;
}
close($out) or die "$ARGV[1]: $!";
