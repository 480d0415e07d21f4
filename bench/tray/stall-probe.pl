#!/usr/bin/perl
# Times the tray's interface thread from outside: sends "/showappico" (harmless: the
# icon is already shown) over the link every PERIOD ms for SECONDS seconds and prints
# one line per command, "<ms since start> <round trip ms>". The link is answered on
# the interface thread, so a round trip is as long as the longest stall it met.
#   stall-probe.pl SECONDS [PERIOD_MS]
use strict;
use warnings;
use IO::Socket::UNIX;
use IO::Select;
use Time::HiRes qw(time sleep);

my ($seconds, $period) = (@ARGV, 20);
die "usage: $0 SECONDS [PERIOD_MS]\n" unless defined $seconds;
my $dir = $ENV{XDG_RUNTIME_DIR} || "/tmp/vantobel-$<";
my $path = "$dir/VantobelPlayTray|VantobelPlayTrayDDEForm";
my $command = '/showappico';
$| = 1;

my $start = time;
while (time - $start < $seconds) {
    my $t0 = time;
    my $socket = IO::Socket::UNIX->new(Type => SOCK_STREAM(), Peer => $path);
    if ($socket) {
        print {$socket} pack('N', length($command)) . $command;
        $socket->flush;
        my $answer = '';
        sysread($socket, $answer, 1) if IO::Select->new($socket)->can_read(30);
        close $socket;
        printf "%.0f %.1f\n", 1000 * ($t0 - $start), 1000 * (time - $t0) if length($answer) == 1;
    }
    my $left = $period / 1000 - (time - $t0);
    sleep($left) if $left > 0;
}
