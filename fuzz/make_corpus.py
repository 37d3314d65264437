#!/usr/bin/env python3
"""Writes the starting corpus of the fuzz targets: the protocol's worked frames and a few faults around them,
each wrapped in the target's input layout (see the comment at the top of each target). Run it again after
changing a layout; regression inputs found by fuzzing are added beside these files by hand."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def with_crc(frame):
    crc = crc16(frame)
    return bytes(frame) + bytes([crc & 0xFF, crc >> 8])


def h(text):
    return bytes.fromhex(text)


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


# RTU: selector, quantity, slave id, start (2), answer.
READ_03, READ_04, WRITE_ONE, WRITE_MANY = 0, 1, 2, 3
EXCHANGE_FAILS, BEYOND_CAPACITY, SEND_FAILED, APPEND_CRC, VALUES_SHORT = 0x08, 0x0C, 0x10, 0x20, 0x40


def rtu(selector, quantity, start, answer, slave=1):
    return bytes([selector, quantity, slave]) + struct.pack(">H", start) + bytes(answer)


def rtu_corpus():
    assert with_crc(h("010304 0001 0002")) == h("010304000100022A32")
    assert with_crc(h("018302")) == h("018302C0F1")
    assert with_crc(h("011000010002")) == h("0110000100021008")
    full = with_crc(bytes([1, 3, 250]) + bytes(range(250)))
    cases = {
        "read-fc03-two-registers": rtu(READ_03, 2, 0, h("010304000100022A32")),
        "read-fc03-illegal-address": rtu(READ_03, 10, 0, h("018302C0F1")),
        "read-fc03-exception-and-stray-byte": rtu(READ_03, 10, 0, h("018302C0F1 00")),
        "read-fc04-two-registers": rtu(READ_04, 2, 16, with_crc(h("010404 0001 0002"))),
        "read-fc03-125-registers": rtu(READ_03, 125, 0, full),
        "read-fc03-byte-count-short": rtu(READ_03, 3, 0, with_crc(h("010304 0001 0002 0003"))),
        "read-fc03-crc-appended": rtu(READ_03 | APPEND_CRC, 2, 0, h("010304 0001 0002")),
        "read-fc03-no-port": rtu(READ_03 | EXCHANGE_FAILS, 2, 0, b""),
        "read-fc03-send-failed": rtu(READ_03 | EXCHANGE_FAILS | SEND_FAILED, 2, 0, b""),
        "read-fc03-silence": rtu(READ_03, 2, 0, b""),
        "read-fc03-beyond-capacity": rtu(READ_03 | BEYOND_CAPACITY, 2, 0, h("010304000100022A32")),
        "write-one-echo": rtu(WRITE_ONE, 0, 1, h("0106000100039808")),
        "write-one-exception-7": rtu(WRITE_ONE, 0, 1, with_crc(h("018607"))),
        "write-one-short-with-crc": rtu(WRITE_ONE, 0, 1, with_crc(h("01060001"))),
        "write-many-two-registers": rtu(WRITE_MANY, 2, 1, h("0110000100021008")),
        "write-many-exception-7": rtu(WRITE_MANY, 2, 1, with_crc(h("019007"))),
        "write-many-illegal-value": rtu(WRITE_MANY, 2, 1, with_crc(h("019003"))),
        "write-many-values-short": rtu(WRITE_MANY | VALUES_SHORT, 2, 1, h("0110000100021008")),
        "write-many-123-registers": rtu(WRITE_MANY, 123, 0, with_crc(h("01100000007B"))),
    }
    for name, data in cases.items():
        write("rtu_transactions", name, data)


# TCP: selector, quantity, slave id, start (2), initial transaction id (2), cut count, cuts, stream.
T_READ_03, T_READ_04, T_WRITE_ONE, T_WRITE_MANY, T_EXCHANGE = 0, 1, 2, 3, 4
NOT_CONNECTED, T_SEND_FAILS, T_SEND_ERROR = 0x08, 0x10, 0x20
BOUNDARY, PAUSE, BREAK = 0, 1, 2


def mbap(tid, length, unit=1, protocol=0):
    return struct.pack(">HHHB", tid, protocol, length, unit)


def adu(tid, pdu, unit=1):
    return mbap(tid, len(pdu) + 1, unit) + bytes(pdu)


def tcp(selector, quantity, start, stream, cuts=(), tid=0, slave=1):
    head = bytes([selector, quantity, slave]) + struct.pack(">HH", start, tid) + bytes([len(cuts)])
    for distance, kind in cuts:
        head += bytes([distance, kind])
    return head + bytes(stream)


def tcp_corpus():
    read_two = adu(1, h("0304 0001 0002"))
    assert read_two == h("00010000000701030400010002")
    assert adu(1, h("8302")) == h("000100000003018302")
    cases = {
        "read-fc03-two-registers": tcp(T_READ_03, 2, 0, read_two),
        "read-fc03-two-registers-in-pieces": tcp(T_READ_03, 2, 0, read_two, [(3, BOUNDARY), (4, BOUNDARY), (2, BOUNDARY)]),
        "read-fc03-illegal-address": tcp(T_READ_03, 10, 0, h("000100000003018302")),
        "read-fc03-exception-7": tcp(T_READ_03, 10, 0, adu(1, h("8307"))),
        "read-fc04-answered-fc03": tcp(T_READ_04, 2, 16, read_two),
        "read-fc03-byte-count-short": tcp(T_READ_03, 3, 0, adu(1, h("0306 0001 0002"))),
        "read-fc03-late-answer-first": tcp(T_READ_03, 2, 0, adu(0, h("0304 0009 0009")) + read_two),
        "read-fc03-two-late-answers": tcp(T_READ_03, 2, 0, adu(0, h("0304 0009 0009")) + adu(7, h("0304 0009 0009"))),
        "read-fc03-foreign-unit-first": tcp(T_READ_03, 2, 0, adu(1, h("0304 0009 0009"), unit=2) + read_two),
        "read-fc03-pause-in-header": tcp(T_READ_03, 2, 0, read_two, [(4, PAUSE)]),
        "read-fc03-break-in-pdu": tcp(T_READ_03, 2, 0, read_two, [(9, BREAK)]),
        "read-fc03-late-answer-then-pause": tcp(T_READ_03, 2, 0, adu(0, h("0304 0009 0009")) + read_two, [(10, PAUSE)]),
        "read-fc03-protocol-id-1": tcp(T_READ_03, 2, 0, mbap(1, 7, protocol=1) + h("0304 0001 0002")),
        "read-fc03-mbap-length-0": tcp(T_READ_03, 2, 0, mbap(1, 0)),
        "read-fc03-mbap-length-1": tcp(T_READ_03, 2, 0, mbap(1, 1)),
        "read-fc03-mbap-length-2": tcp(T_READ_03, 2, 0, mbap(1, 2) + h("83")),
        "read-fc03-125-registers": tcp(T_READ_03, 125, 0, adu(1, bytes([3, 250]) + bytes(range(250)))),
        "read-fc03-not-connected": tcp(T_READ_03 | NOT_CONNECTED, 2, 0, read_two),
        "read-fc03-send-short": tcp(T_READ_03 | T_SEND_FAILS, 2, 0, read_two),
        "read-fc03-send-error": tcp(T_READ_03 | T_SEND_FAILS | T_SEND_ERROR, 2, 0, read_two),
        "read-fc03-id-wraps": tcp(T_READ_03, 2, 0, adu(0, h("0304 0001 0002")), tid=0xFFFF),
        "write-one-echo": tcp(T_WRITE_ONE, 0, 1, adu(1, h("06 0001 0003"))),
        "write-one-illegal-address": tcp(T_WRITE_ONE, 0, 1, adu(1, h("8602"))),
        "write-many-two-registers": tcp(T_WRITE_MANY, 2, 1, adu(1, h("10 0001 0002"))),
        "write-many-slave-failure": tcp(T_WRITE_MANY, 2, 1, adu(1, h("9004"))),
        "exchange-largest-pdu": tcp(T_EXCHANGE, 255, 5, mbap(1, 514) + bytes(513)),
        "exchange-capacity-filled-and-one-more-byte": tcp(T_EXCHANGE, 2, 5, read_two + b"\x00"),
        "exchange-pdu-too-long": tcp(T_EXCHANGE, 255, 255, read_two),
    }
    for name, data in cases.items():
        write("tcp_transactions", name, data)


def parsing_corpus():
    texts = ["100", " 100 ", "0x1F", "0X1f", "$1F", "%101", "0010", "-1", "-$10", "65536", "70000", "12abc",
             "1.5", "1e3", "abc", "", "-0x10", "\t0x1F", "0x", "10,20,30", "10, 20, 30", "10;20 30\t40",
             ",10,,20,", "0x10,$20,%11", "10,x,30", "- 5", ", , ,", "65537", "99999999999999999999999",
             "Zähler: 10 – 20 €", "+7;\t-8"]
    for index, text in enumerate(texts):
        write("input_parsing", "text-%02d" % index, text.encode("utf-8"))


def segments(*sizes):
    """The slave targets' segment sizes; a size given negative is followed by a pause on the line."""
    return bytes([len(sizes)]) + bytes([(abs(size) - 1) | (0x80 if size < 0 else 0) for size in sizes])


def request_adu(tid, unit, pdu, protocol=0):
    return struct.pack(">HHH", tid, protocol, len(pdu) + 1) + bytes([unit]) + bytes(pdu)


def slave_tcp_corpus():
    read = request_adu(1, 1, h("03 0000 0002"))
    write_one = request_adu(2, 1, h("06 0001 1234"))
    write_many = request_adu(3, 0, h("10 0000 0002 04 0001 0002"))
    cases = {
        "read-whole": bytes([0]) + segments() + read,
        "three-in-one-segment": bytes([0]) + segments() + read + write_one + write_many,
        "byte-by-byte": bytes([2]) + segments(1) + read + write_one,
        "odd-pieces": bytes([7]) + segments(3, 11, 5) + write_many + read + write_one,
        "unknown-function": bytes([0]) + segments() + request_adu(4, 1, h("2B 0E 01 00")),
        "read-past-end": bytes([0]) + segments() + request_adu(5, 255, h("03 FFFF 0002")),
        "read-126": bytes([0]) + segments() + request_adu(6, 1, h("04 0000 007E")),
        "write-many-count-wrong": bytes([0]) + segments() + request_adu(7, 1, h("10 0000 0002 03 0001 00")),
        "length-zero-then-request": bytes([0]) + segments() + h("0001 0000 0000 01") + read,
        "protocol-one": bytes([0]) + segments() + request_adu(8, 1, h("03 0000 0001"), protocol=1),
        "faulted-split": bytes([0x33]) + segments(4, 4) + read + read,
        "bits": bytes([0]) + segments() + request_adu(9, 1, h("0F 0003 000A 02 CD01"))
        + request_adu(10, 1, h("01 0000 0010")) + request_adu(11, 1, h("05 0007 FF00"))
        + request_adu(12, 1, h("02 0000 07D0")),
        "bits-refused": bytes([0]) + segments() + request_adu(13, 1, h("05 0007 1234"))
        + request_adu(14, 1, h("0F 0000 07B1 F7")) + request_adu(15, 1, h("01 FFFF 0002")),
    }
    for name, data in cases.items():
        write("slave_tcp_stream", name, data)


def slave_rtu_corpus():
    read = with_crc(h("01 03 0000 0002"))
    write_one = with_crc(h("01 06 0001 1234"))
    write_many = with_crc(h("01 10 0000 0002 04 0001 0002"))
    cases = {
        "read-whole": bytes([0]) + segments(-8) + read,
        "back-to-back": bytes([0]) + segments() + read + write_one + write_many,
        "byte-by-byte": bytes([2]) + segments(1) + read + write_one,
        "noise-before": bytes([0]) + segments() + h("FF") + read,
        "other-slaves-answer-before": bytes([0]) + segments() + with_crc(h("02 03 02 ABCD")) + read,
        "broken-then-request": bytes([0]) + segments(-8, -8) + h("01 03 0000 0001 0000") + read,
        "unknown-function": bytes([0]) + segments(-8) + with_crc(h("01 07")),
        "unknown-function-then-request": bytes([0]) + segments() + with_crc(h("01 2B 0E 01 00")) + read,
        "bits": bytes([0]) + segments() + with_crc(h("01 0F 0003 000A 02 CD01")) + with_crc(h("01 01 0000 0010"))
        + with_crc(h("01 05 0007 FF00")) + with_crc(h("01 02 0000 07D0")),
        "broadcast-write": bytes([0]) + segments(-8) + with_crc(h("00 06 0001 0002")),
        "long-garbage": bytes([0]) + segments(100, 100, 100) + bytes(range(256)) * 2 + read,
        "faulted": bytes([0x04]) + segments(3, -5) + read + write_one,
    }
    for name, data in cases.items():
        write("slave_rtu_stream", name, data)


def slave_csv_corpus():
    header = b"Adresse;Adresse dez.;Hex;Dezimal\r\n"
    cases = {
        "window-export": header + b"0x0000;0;$FFFF;65535\r\n0x000A;10;$1234;4660\r\n0xFFFF;65535;$00FF;255\r\n",
        "byte-order-mark": b"\xef\xbb\xbf" + header + b"0x0001;1;$0001;1\r\n",
        "blank-last-line": header + b"0x0001;1;$0001;1\r\n\r\n",
        "lf-only": header.replace(b"\r", b"") + b"0x0002;2;$0003;3\n",
        "header-only": header,
        "empty": b"",
        "disagree": header + b"0x0001;1;$0010;10\r\n",
        "five-fields": header + b"0x0001;1;$0001;1;\r\n",
    }
    for name, data in cases.items():
        write("slave_register_csv", name, data)


if __name__ == "__main__":
    rtu_corpus()
    tcp_corpus()
    parsing_corpus()
    slave_tcp_corpus()
    slave_rtu_corpus()
    slave_csv_corpus()
