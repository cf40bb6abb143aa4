#!/usr/bin/env python3
"""Writes the fuzzers' seed inputs: real conversations in the input formats that
fuzz_client_conversation.cpp and fuzz_server_session.cpp describe at their top.
usage: tests/fuzz/make_corpus.py  (writes tests/fuzz/corpus/client/ and corpus/server/)
Regression inputs found by fuzzing are kept beside these files and are not rewritten."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


class Client:
    """A script for fuzz_client_conversation: the server's bytes and the user's answers."""

    def __init__(self, password=b"qvk"):
        self.b = bytearray([len(password)]) + password

    def arrive(self, data, cut=256):
        """Bytes arriving in segments of at most cut bytes, one FD_READ each."""
        for i in range(0, len(data), cut):
            piece = data[i:i + cut]
            self.b += bytes([0, len(piece) - 1]) + piece
        return self

    def read(self, times=1):
        self.b += bytes([3]) * times
        return self

    def close(self):
        self.b.append(4)
        return self

    def connect(self, fail=False):
        self.b += bytes([5, 1 if fail else 0])
        return self

    def agree(self, yes=True, inside=0):
        """The agreement box's answer: right after the read that opens it."""
        self.b.append((0 if yes else 1) | inside << 1)
        return self

    def click(self, index, cancel=False, path=0, inside=0):
        """Double-click on list entry index (".." is 0, then the entries as listed)."""
        self.b += bytes([6, index, (1 if cancel else 0) | path << 1 | inside << 3])
        return self

    def panel(self, done, total):
        self.b += bytes([7]) + done.to_bytes(4, "big") + total.to_bytes(4, "big")
        return self

    def login(self, agreement=b"Be nice: at most 2 GB a day."):
        self.connect().arrive(block(b"ZUrod server ready. Enter password:"))
        return self.arrive(block(agreement)).agree()

    def listing(self, text, cut=256):
        return self.arrive(block(b"Listing length:%d" % len(text))).arrive(text, cut)


def block(text):
    return text + bytes(256 - len(text))


class Server:
    """Input for fuzz_server_session: client blocks in pieces."""

    def __init__(self, handshake=False, password=False):
        self.b = bytearray([(1 if handshake else 0) | (2 if password else 0)])

    def command(self, text):
        """One block; the fuzzer pads it with NULs."""
        assert len(text) < 128
        self.b += bytes([128 + len(text)]) + text
        return self

    def raw(self, data, cut=128):
        for i in range(0, len(data), cut):
            piece = data[i:i + cut]
            self.b += bytes([len(piece) - 1]) + piece
        return self


def client_seeds():
    listing = b"[docs]\nreadme.txt\nempty\n"
    hello = b"hello\n"
    yield "full_conversation", (
        Client().login()
        .listing(listing)
        .click(2)  # readme.txt
        .arrive(block(b"readme.txt<6")).arrive(hello).arrive(block(b"@transfer complete"))
        .click(1)  # [docs]
        .arrive(block(b"#/docs")).listing(b"a.txt\n")
        .click(0)  # ..
        .arrive(block(b"#/")).listing(listing)
        .panel(6, 6))
    # A prompt with a capital P is a listing header of length 0: the next read is the list.
    yield "capital_password_prompt", Client().connect().arrive(block(b"Password:")).arrive(b"x\ny\n").click(1)
    # The listing's header and text arrive in small pieces and are read in smaller ones.
    text = b"".join(b"file%02d.txt\n" % i for i in range(40))
    yield "listing_in_pieces", Client().login().listing(text, cut=7).read(3).click(17)
    # A header cut by the network: the rest of its block counts as listing text.
    yield "header_in_two_reads", (
        Client().login().arrive(block(b"Listing length:%d" % len(text)), cut=100).arrive(text, cut=50)
        .click(3))
    # An empty directory: one NUL byte, so that the list shows at once with ".." alone.
    yield "empty_directory", (
        Client().login().listing(b"[empty dir]\n").click(1)
        .arrive(block(b"#/empty dir")).arrive(block(b"Listing length:1")).arrive(b"\0").click(0))
    yield "empty_file", (
        Client().login().listing(b"empty\n").click(1)
        .arrive(block(b"empty<0")).arrive(block(b"@transfer complete")))
    # 3 GiB announced: the count runs past 2^31; the server goes away and comes back.
    data = bytes(range(256)) * 4
    yield "three_gib_header", (
        Client().login().listing(b"big.iso\n").click(1, path=1)
        .arrive(block(b"big.iso<3221225472")).arrive(data).close()
        .login().panel(1024, 3221225472).panel(3221225471, 3221225472))
    yield "format_notices", (
        Client().login()
        .arrive(block(b"{100%n%s%s%s%x%p%n}")).arrive(block(b"#/%n%s"))
        .arrive(block(b"%s%n<%n")).arrive(block(b"%n%s:%n")).arrive(b"%n%s\n[%n]\n")
        .click(1))
    # Replies that arrive while the modal boxes run their own message loops.
    # The second agreement box opens on top of the first; a header arrives in the Save dialog.
    yield "events_inside_boxes", (
        Client().connect().arrive(block(b"Enter password:"))
        .arrive(block(b"agreement one")).agree(inside=2)
        .arrive(block(b"agreement two")).agree()
        .arrive(block(b"Listing length:9"))
        .listing(b"[d]\na.bin\n")
        .click(1).arrive(block(b"#/d"))
        .click(2, inside=2).arrive(block(b"a.bin<300")).arrive(bytes(200)).arrive(bytes(100))
        .arrive(block(b"@transfer complete"))
        .click(2).arrive(block(b"a.bin<300")).arrive(bytes(300)).arrive(block(b"@transfer complete")))
    # A file begun while an agreement box was open stays a file when the box is answered.
    yield "header_inside_agreement_box", (
        Client().login().listing(b"a\n").click(1).arrive(block(b"a<3")).arrive(b"abc").arrive(block(b"@"))
        .connect().arrive(block(b"Enter password:"))
        .arrive(block(b"agreement, first half")).agree(inside=2)
        .arrive(block(b"second half")).agree()
        .arrive(block(b"a<300"))
        .arrive(bytes(100)).arrive(block(b"@transfer complete")).arrive(bytes(200)).arrive(block(b"@")))
    yield "disk_full_and_read_only", (
        Client().login().listing(b"a\nb\n")
        .click(1, path=2).arrive(block(b"a<600")).arrive(bytes(600)).arrive(block(b"@"))
        .click(2, path=3).arrive(block(b"b<10")).arrive(bytes(10)).arrive(block(b"@")))
    long_name = b"n" * 300
    yield "long_names", (
        Client(password=b"p" * 254).login()
        .listing(b"[" + long_name + b"]\n" + long_name + b"\nx[docs]\nsong[1].mp3\narchive..old.zip\n")
        .click(1).click(2).click(3).click(4).click(5).click(255))
    yield "failed_connect_and_no_agreement", (
        Client().connect(fail=True).connect().arrive(block(b"Enter password:"))
        .arrive(block(b"rules")).agree(yes=False).read().close().connect()
        .arrive(b"password:" + bytes(247)).arrive(bytes(53)).agree(yes=False).read(2))


def server_seeds():
    def padded(text):
        return text + bytes(256 - len(text))

    session = b"".join(padded(t) for t in (b"velto", b"qvk", b"ls", b"cd docs", b"ls", b"get a.txt",
                                            b"cd old", b"get deep.txt", b"cd ..", b"cd ..", b"get readme.txt"))
    yield "full_session_raw", Server().raw(session[:300], cut=100).raw(session[300:301], cut=1).raw(session[301:])
    yield "escapes", (
        Server(handshake=True, password=True)
        .command(b"ls").command(b"cd escape").command(b"cd sneaky").command(b"cd etc").command(b"cd magic")
        .command(b"get secret").command(b"get passwd").command(b"get ../outside/secret.txt")
        .command(b"cd ../outside").command(b"cd /").command(b"cd /etc").command(b"get /etc/passwd")
        .command(b"cd inner").command(b"ls").command(b"get absolute").command(b"cd ..")
        .command(b"cd docs").command(b"cd old").command(b"cd up3").command(b"get up3").command(b"ls"))
    yield "odd_files", (
        Server(handshake=True, password=True)
        .command(b"get pipe").command(b"get big.iso").command(b"get huge.img").command(b"get loop")
        .command(b"cd loop").command(b"get dangling").command(b"get empty").command(b"get inner.txt")
        .command(b"get docs").command(b"cd readme.txt").command(b"cd empty dir").command(b"ls"))
    yield "format_names", (
        Server(handshake=True, password=True)
        .command(b"get 100%n%s #1 <b> : @{x}.txt").command(b"cd password: dir").command(b"ls")
        .command(b"cd ..").command(b"cd new\nline dir").command(b"ls").command(b"get line\nbreak.txt")
        .command(b"%n%s%s").command(b"get %n%s"))
    yield "long_names", (
        Server(handshake=True, password=True)
        .raw(b"get " + b"f" * 251 + b"\0").raw(b"cd " + b"d" * 253)
        .raw(b"cd " + b"d" * 255 + b"x" * 10).command(b"ls"))
    yield "odd_commands", (
        Server(handshake=True, password=True)
        .command(b"LS").command(b"get").command(b"cd").command(b"cd .").command(b"cd ..")
        .command(b"cd ../..").command(b"get ").command(b"cd ").command(b"ls -l").raw(b"ls\0junk" + bytes(248)))
    yield "bad_handshake", Server().command(b"VELTO").command(b"qvk").command(b"ls")
    yield "wrong_password", Server(handshake=True).command(b"qvk ").command(b"ls")


def write(kind, seeds):
    directory = os.path.join(HERE, "corpus", kind)
    os.makedirs(directory, exist_ok=True)
    for name, script in seeds:
        with open(os.path.join(directory, "seed_" + name), "wb") as f:
            f.write(bytes(script.b))


if __name__ == "__main__":
    write("client", client_seeds())
    write("server", server_seeds())
