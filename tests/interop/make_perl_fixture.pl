#!/usr/bin/perl
# Writes a project file with an independent compound-file writer (OLE::Storage_Lite)
# to check that the program reads files it did not write itself.
#
#   perl make_perl_fixture.pl OUT.v3
#
# Content: two nodes, one straight edge, one material of the older (3, 0) layout,
# general settings, no "Project", "Intervals" or "Memory" storages (an older file).
use strict;
use warnings;
use OLE::Storage_Lite;

my $out = shift or die "usage: $0 OUT.v3\n";

sub i32 { pack('l<', @_) }
sub f64 { pack('d<', @_) }
sub name0 { my $s = shift; i32(length($s) + 1) . $s . "\0" }    # with a zero
sub name { my $s = shift; i32(length($s)) . $s }                  # without
sub text { my $s = shift; i32(length($s) + 1) . $s . "\0" }

my $nodes = i32(2)
  . name0('TNode') . i32(1) . f64(0.0) . f64(0.0) . f64(0.0) . i32(1)
  . name0('TNode') . i32(2) . f64(2.5) . f64(-1.25) . f64(0.0) . i32(1);
my $curves = i32(1)
  . name0('TEdgeLine') . i32(4) . pack('C', 0) . i32(0) . i32(0) . i32(1);
my @p = map { $_ * 1.5 } (1 .. 63);
$p[21] = 42.0e6;    # P22: compressive strength of the older layout
my $materials = i32(1)
  . name0('TVemtoMaterial') . text('Old concrete') . i32(0)
  . join('', map { f64($_) } @p) . join('', map { i32($_) } (1, 1, 0, 1, 0, 0, 0));
my $general = name('TVemtoGeneralInfo') . i32(2) . i32(0) . i32(160) . i32(2)
  . f64(24.0) . f64(0.0) . f64(1.0);
my $empty = i32(0);

sub ver { my ($maj, $min) = @_; i32($maj) . i32($min) }
sub storage {
  my ($nm, $data, $maj, $min) = @_;
  return OLE::Storage_Lite::PPS::Dir->new(OLE::Storage_Lite::Asc2Ucs($nm), undef, undef, [
    OLE::Storage_Lite::PPS::File->new(OLE::Storage_Lite::Asc2Ucs('Data'), $data),
    OLE::Storage_Lite::PPS::File->new(OLE::Storage_Lite::Asc2Ucs('Version'), ver($maj, $min)),
  ]);
}

my $root = OLE::Storage_Lite::PPS::Root->new(undef, undef, [
  storage('Nodes', $nodes, 3, 0),
  storage('Curves', $curves, 3, 0),
  storage('Surfaces', $empty, 3, 1),
  storage('Conditions', $empty, 3, 0),
  storage('Positions', $empty, 3, 0),
  storage('Pipes', $empty, 3, 0),
  storage('General', $general, 3, 0),
  storage('Materials', $materials, 3, 0),
]);
$root->save($out) or die "cannot write $out\n";
