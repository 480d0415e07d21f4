#!/usr/bin/perl
# Sends one command over the player link, as the player or another program would:
#   link-send.pl TOPIC COMMAND
# One connection, a 4-byte big-endian length, the UTF-8 text; the partner answers
# one byte (0 = accepted). Exit 0 accepted, 2 nobody listening, 1 anything else.
use strict;
use warnings;
use IO::Socket::UNIX;
use IO::Select;

my ($topic, $command) = @ARGV;
die "usage: $0 TOPIC COMMAND\n" unless defined $command;

my $dir = $ENV{VANTOBEL_LINK_DIR} || "/tmp/vantobel-$<";
my $socket = IO::Socket::UNIX->new(Type => SOCK_STREAM(), Peer => "$dir/$topic");
if (!$socket) {
    print STDERR "no partner on $dir/$topic: $!\n";
    exit 2;
}
# The arguments arrive as UTF-8 bytes already; send them as they are.
print {$socket} pack('N', length($command)) . $command or exit 1;
$socket->flush;

my $answer = '';
if (IO::Select->new($socket)->can_read(10)) {
    sysread($socket, $answer, 1);
}
close $socket;
exit(length($answer) == 1 && $answer eq "\0" ? 0 : 1);
