// The text of gpstime-sim --help: every option, what the simulator does and
// how it ends.
#include "gpstime_sim/options.h"

namespace orvik::tools {

std::string HelpText() {
  return R"(Usage: gpstime-sim [OPTIONS]    (--option VALUE or --option=VALUE)

Stands in for a GPS receiver on a serial line: creates a pseudo-terminal,
links its device as DIR/COM<n> and sends receiver messages into it, live or
replayed from a capture. Bytes written to the port (receiver commands) are
printed in readable form and obeyed: interval commands change the message
interval (0 on a Motorola receiver: one message, then silence), GMT offset
commands shift the time of Motorola messages. A Motorola receiver answers a
GMT offset command it obeyed with the message of the same name ("@@Gb":
its own date and time and the offset it now applies; "@@Ab": that offset),
sent between two time messages, before the first one that applies the offset.

Port:
  --dir DIR          folder for the COM<n> link (default ".")
  --port N           COM port number 0..255 (default 2): the link is DIR/COM<N>.
                     An existing symlink there is replaced; any other file is
                     left alone and the simulator refuses to start.
Live messages:
  --protocol P       nmea | nmea9600 | m12 | oncore (default nmea). nmea sends a
                     GPRMC, GPGGA, GPGSA and GPGSV group per time message; m12
                     sends "@@Hb" messages, oncore "@@Ea" messages.
  --message M        hb | ea: the Motorola message to send, instead of the
                     protocol's own
  --interval S       seconds between time messages, e.g. 1 or 0.2 (default 1)
  --start "YYYY-MM-DD HH:MM:SS"
                     UTC time of the first message, advanced by the interval
                     per message. Default: the current UTC time (the first
                     message waits for the next whole second). Motorola
                     messages carry this time plus the last commanded GMT
                     offset (0 until one arrives). The clock is only read.
  --status A|V       GPRMC status: A valid fix, V no fix (default A)
  --visible N        satellites in view, 0..32 (default 8)
  --tracked N        satellites tracked (with a signal), 0..visible (default 6)
  --fraction D       digits after the seconds in NMEA times, 0..3 (default 3:
                     hhmmss.sss; 0: hhmmss)
  --rmc-last         NMEA: send each group as GPGGA, GPGSA, GPGSV..., GPRMC
                     (default: GPRMC first), as receivers do whose cycle
                     ends with the RMC
  --delay-ms N       a receiver late by N ms, 0..999 (default 0): the output
                     for each time message begins N ms after the instant it
                     stands for (the whole second, without --start)
  --jitter-ms N      each time message's output begins a further 0..N ms
                     late, 0..500 (default 0), drawn uniformly and
                     independently per message, as a receiver whose output
                     wanders; --delay-ms plus N must stay within 999
  --seed S           seed of the --jitter-ms draws, 0 or more, for a
                     repeatable sequence (default: a random seed)
  --ignore-offset-command
                     a Motorola receiver that neither applies nor answers
                     GMT offset commands: its times stay at the offset they
                     had (UTC+0 from the start)
Replay:
  --replay FILE      send FILE byte for byte instead of live messages; it ends
                     at the end of the file
  --pace P           sentence (default): one sentence (NMEA up to its line
                     feed, a Motorola message up to its CR LF) per interval;
                     bytes: a steady stream at the line rate of --baud.
                     With bytes, live messages are also sent at that rate,
                     and each byte reaches the port when its last bit would
                     be in on a real line: the first byte of a message one
                     character time (10 bits) after its output began.
                     lines: the same line rate, but each line (up to its
                     LF) reaches the port in one write when its last byte
                     would be in, as from an adapter that hands over whole
                     sentences.
  --per-sentence-ms MS
                     pause between replayed sentences, overriding --interval
Limits:
  --count N          stop after N time messages (live) or N sentences (replay)
  --duration S       stop S seconds after the start-up line
  --start-delay S    wait S seconds after the start-up line before the first
                     message (default 0); commands are read meanwhile
  --baud B           line rate for --pace bytes: at most B/10 bytes per second
                     (default 4800 for nmea, 9600 otherwise)
Damage:
  --corrupt KIND     send some time messages damaged (live messages only):
                     checksum  a wrong checksum byte (Motorola) or wrong
                               checksum digits (NMEA);
                     length    one byte short: the final LF is left out;
                     header    a wrong header letter, e.g. "@@Ha" for "@@Hb"
                               or "$GPRMD" for "$GPRMC", under a checksum
                               that fits it.
                     For NMEA the GPRMC of the group is damaged, the rest
                     of the group is sent intact.
  --corrupt-every N  damage every N-th time message, counted from 1
                     (default 1: every one)
Output:
  --quiet            print only the start-up line and errors
  --log-writes FILE  live messages: append one line per sentence end (per
                     Motorola message) to FILE, flushed at once:
                       <name> <UTC ms of the time message> <real-time ns>
                     e.g. "GPRMC 1767225600000 1767225600000412345": the
                     name (GPRMC, GPGGA, ..., @@Hb, @@Ea) and CLOCK_REALTIME
                     read just before the write() that handed its line feed
                     to the port. Readers measure their latency from it.
  --help             print this text
  --version          print the version

On start the simulator prints one line
  gpstime-sim: <pty device> linked as <dir>/COM<n>
and flushes it, so scripts can wait for it. It keeps its own handle on the
pty device open, so the port exists and buffers messages before the program
under test opens it, and that program closing the port is no hang-up for the
simulator. Output left unread for 2 seconds is discarded, as a line without a
listener loses it, so a program that opens the port late gets fresh messages;
a note says so once. After the last message of --count (or of a replayed
file) the simulator waits up to 5 seconds for the reader to take what is
still queued; --duration, SIGINT and SIGTERM end it at once. The link is
removed on every exit. Exit status: 0 done, 1 run-time failure, 2 bad options.
)";
}

}  // namespace orvik::tools
