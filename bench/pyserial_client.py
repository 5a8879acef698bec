#!/usr/bin/python3
"""The Python peer of the benchmark: Read All over pyserial.

  pyserial_client.py PORT            one Read All; prints the decoded settings
  pyserial_client.py PORT COUNT      COUNT round trips; prints {"median_us", "p99_us"}
  pyserial_client.py --ports COUNT   COUNT port listings; prints {"median_us", "p99_us"}

Written as a pyserial user would: open the port, write the request, read the 23-byte
reply, check its checksum and decode the settings block.
"""
import json
import sys
import time

import serial

READ_ALL = bytes.fromhex("AFAF0000AF80020C" + "00" * 12 + "9B0D0A")
REPLY_SIZE = 23
BAUDS = {1: 1200, 2: 2400, 3: 4800, 4: 9600, 5: 19200, 6: 38400, 7: 57600, 0: 115200}


def read_all(port):
    port.write(READ_ALL)
    reply = port.read(REPLY_SIZE)
    if len(reply) != REPLY_SIZE or reply[:2] != b"\xaf\xaf" or reply[-2:] != b"\r\n":
        raise RuntimeError("no reply")
    length = reply[7]
    if sum(reply[: 8 + length]) & 0xFF != reply[8 + length]:
        raise RuntimeError("checksum error")
    return reply


def decode(reply):
    b = reply[8:20]
    register = b[2] << 16 | b[3] << 8 | b[4]
    return {
        "module_baud": BAUDS.get(b[0]),
        "module_parity": ["none", "odd", "even"][b[1]] if b[1] < 3 else b[1],
        "frequency_mhz": round(register * 0.000001 * 61.03515625, 6),
        "spreading_factor": 1 << b[5] if 7 <= b[5] <= 12 else b[5],
        "mode": ["normal", "saving"][b[6]] if b[6] < 2 else b[6],
        "bandwidth": {6: "62.5K", 7: "125K", 8: "250K", 9: "500K"}.get(b[7], b[7]),
        "node_id": b[8] << 8 | b[9],
        "net_id": b[10],
        "power": b[11],
    }


def quantile(samples, q):
    s = sorted(samples)
    return s[min(len(s) - 1, int(q * (len(s) - 1) + 0.5))]


def time_listing(count):
    from serial.tools import list_ports

    times = []
    for _ in range(count):
        start = time.perf_counter()
        list_ports.comports()
        times.append((time.perf_counter() - start) * 1e6)
    return times


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    if sys.argv[1] == "--ports":
        times = time_listing(int(sys.argv[2]))
        print(json.dumps({"median_us": quantile(times, 0.5), "p99_us": quantile(times, 0.99)}))
        return
    with serial.Serial(sys.argv[1], 9600, timeout=10) as port:
        if len(sys.argv) == 2:
            for key, value in decode(read_all(port)).items():
                print(f"{key:18}{value}")
            return
        times = []
        for _ in range(int(sys.argv[2])):
            start = time.perf_counter()
            read_all(port)
            times.append((time.perf_counter() - start) * 1e6)
        print(json.dumps({"median_us": quantile(times, 0.5), "p99_us": quantile(times, 0.99)}))


if __name__ == "__main__":
    main()
