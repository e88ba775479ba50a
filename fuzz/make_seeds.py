#!/usr/bin/env python3
"""Writes the seed corpus of quarvo_fuzz: short call sequences a consumer makes, encoded in the
byte format GenTLCallsFuzzer.cpp reads. Each seed is a starting point the fuzzer mutates; the
sequences need not succeed in every call.

    python3 fuzz/make_seeds.py fuzz/corpus
"""
import os
import struct
import sys

SYSTEM, INTERFACE, DEVICE, REMOTE, STREAM, BUFFER, EVENT = range(7)
PORT_KINDS = [SYSTEM, INTERFACE, DEVICE, REMOTE, STREAM, BUFFER]
ADDRESSES = [
    0x0, 0x4, 0x8, 0xC, 0x10, 0x34, 0x44, 0x48, 0x50, 0x80, 0x88, 0x90, 0xC8, 0xD8,
    0xDC, 0x100, 0x104, 0x108, 0x10C, 0x114, 0x118, 0x11C, 0x120, 0x124, 0x128, 0x140, 0x180, 0x1C0,
    0x200, 0x210, 0x280, 0x2C0, 0x300, 0x310, 0x320, 0x380, 0x400, 0x480, 0x484, 0x488, 0x4C8, 0x508,
    0x548, 0x54C, 0x590, 0x594, 0x5A0, 0x5A4, 0x5B0, 0x5C0, 0x600, 0x700, 0x740, 0x840, 0x940]
# Size(): selector -> size
SIZE_0, SIZE_4, SIZE_8, SIZE_16, SIZE_SCRATCH, SIZE_64, SIZE_256, SIZE_MAX, SIZE_24 = 0, 3, 4, 5, 8, 9, 10, 11, 15


class Seed:
    """Emits the bytes of one input, mirroring what the target reads, in the same order."""

    def __init__(self):
        self.data = bytearray()
        self.pools = [0] * 7  # handles each kind's pool holds, assuming the calls succeed

    def b(self, *values):
        for value in values:
            self.data.append(value & 0xFF)

    def u64(self, value):
        self.data += struct.pack('<Q', value & 0xFFFFFFFFFFFFFFFF)

    # ---- argument vocabulary ----
    def handle(self, kind, which=-1):
        """A handle of the kind's pool: which counts from the first (0) or the last (-1)."""
        self.b(0, which % max(self.pools[kind], 1))

    def null_handle(self):
        self.b(6)

    def garbage_handle(self, value):
        self.b(7)
        self.u64(value)

    def port(self, kind, which=-1):
        self.b(PORT_KINDS.index(kind))
        self.handle(kind, which)

    def size(self, selector=SIZE_256):
        self.b(selector)

    def size_pointer(self, selector=SIZE_256):
        self.size(selector)
        self.b(1)

    def type_pointer(self):
        self.b(1)

    def out_buffer(self, null=False):
        self.b(0 if null else 1)

    def out(self):
        self.b(1)

    def enum(self, value):
        self.b(value)

    def index(self, value):
        self.b(0, value) if value < 4 else self.b(4, value)

    def timeout(self, ms=0):
        self.b({0: 0, 1: 6, 5: 7}[ms])

    def address(self, address):
        if address in ADDRESSES:
            self.b(0, ADDRESSES.index(address))
        else:
            self.b(5)
            self.u64(address)

    def value(self, value):
        table = {0: 0, 1: 1, 2: 2, 32: 3, 64: 4, 0xFFFFFFFF: 7}
        if value in table:
            self.b(table[value])
        elif value < 256:
            self.b(5, value)
        else:
            self.b(6)
            self.data += struct.pack('<I', value)

    def write_data(self, value, second=0):
        self.value(value)
        self.value(second)
        self.b(1)

    def known_id(self, which=0):
        self.b(0, which)

    def text_id(self, text):
        self.b(5, len(text))
        self.data += text.encode()

    def info(self, command, size=SIZE_256, null_buffer=False):
        """Command, type pointer, buffer and size pointer of an information query."""
        self.enum(command)
        self.type_pointer()
        self.out_buffer(null_buffer)
        self.size_pointer(size)

    # ---- steps ----
    def init(self):
        self.b(0)

    def close_lib(self):
        self.b(1)

    def gc_get_info(self, command, **kw):
        self.b(2)
        self.info(command, **kw)

    def last_error(self):
        self.b(3)
        self.out()
        self.out_buffer()
        self.size_pointer()

    def read_port(self, kind, address, size=SIZE_4, which=-1):
        self.b(4)
        self.port(kind, which)
        self.address(address)
        self.b(1)
        self.size_pointer(size)

    def write_port(self, kind, address, value, size=SIZE_4, which=-1):
        self.b(5)
        self.port(kind, which)
        self.address(address)
        self.write_data(value)
        self.size_pointer(size)

    def port_url(self, kind, size=SIZE_256):
        self.b(7)
        self.port(kind)
        self.out_buffer()
        self.size_pointer(size)

    def port_info(self, kind, command):
        self.b(8)
        self.port(kind)
        self.info(command)

    def num_urls(self, kind):
        self.b(9)
        self.port(kind)
        self.out()

    def url_info(self, kind, index, command):
        self.b(10)
        self.port(kind)
        self.index(index)
        self.info(command)

    def stacked(self, write, kind, entries):
        self.b(12 if write else 11)
        self.b(len(entries))
        for address, size in entries:
            self.address(address)
            self.size(size)
            self.b(1, 0)
        if write:
            self.write_data(1)
        self.b(len(entries))
        self.port(kind)
        self.b(1)
        self.out()

    def register(self, kind, event_type):
        self.b(13, PORT_KINDS.index(kind))
        self.handle(kind)
        self.enum(event_type)
        self.out()
        self.pools[EVENT] += 1

    def unregister(self, kind, event_type):
        self.b(14, PORT_KINDS.index(kind))
        self.handle(kind)
        self.enum(event_type)

    def get_data(self, size=SIZE_256, ms=0, null_buffer=False):
        self.b(15)
        self.handle(EVENT)
        self.out_buffer(null_buffer)
        self.size_pointer(size)
        self.timeout(ms)

    def data_info(self, command, in_size_selector=None):
        self.b(17)
        self.handle(EVENT)
        self.b(0, 1)  # no changes to the record; the record itself
        if in_size_selector is None:
            self.b(1)
        else:
            self.b(0, in_size_selector)
        self.info(command)

    def event_info(self, command):
        self.b(18)
        self.handle(EVENT)
        self.info(command)

    def event_flush(self):
        self.b(19)
        self.handle(EVENT)

    def event_kill(self):
        self.b(20)
        self.handle(EVENT)

    def tl_open(self):
        self.b(21)
        self.out()
        self.pools[SYSTEM] += 1

    def tl_close(self):
        self.b(22)
        self.handle(SYSTEM)

    def tl_info(self, command, **kw):
        self.b(23)
        self.handle(SYSTEM)
        self.info(command, **kw)

    def tl_num_interfaces(self):
        self.b(24)
        self.handle(SYSTEM)
        self.out()

    def tl_interface_id(self, index, size=SIZE_256):
        self.b(25)
        self.handle(SYSTEM)
        self.index(index)
        self.out_buffer()
        self.size_pointer(size)

    def tl_interface_info(self, command, which=0):
        self.b(26)
        self.handle(SYSTEM)
        self.known_id(which)
        self.info(command)

    def tl_open_interface(self, which=0):
        self.b(27)
        self.handle(SYSTEM)
        self.known_id(which)
        self.out()
        self.pools[INTERFACE] += 1

    def tl_update(self):
        self.b(28)
        self.handle(SYSTEM)
        self.out()
        self.u64(0)

    def if_close(self, which=-1):
        self.b(29)
        self.handle(INTERFACE, which)

    def if_info(self, command):
        self.b(30)
        self.handle(INTERFACE)
        self.info(command)

    def if_num_devices(self):
        self.b(31)
        self.handle(INTERFACE)
        self.out()

    def if_device_id(self, index):
        self.b(32)
        self.handle(INTERFACE)
        self.index(index)
        self.out_buffer()
        self.size_pointer()

    def if_update(self):
        self.b(33)
        self.handle(INTERFACE)
        self.out()
        self.u64(0)

    def if_device_info(self, command, which=0):
        self.b(34)
        self.handle(INTERFACE)
        self.known_id(which)
        self.info(command)

    def if_open_device(self, which, flags=3):
        self.b(35)
        self.handle(INTERFACE)
        self.known_id(which)
        self.enum(flags)
        self.out()
        self.pools[DEVICE] += 1

    def if_parent(self):
        self.b(36)
        self.handle(INTERFACE)
        self.out()

    def dev_port(self):
        self.b(37)
        self.handle(DEVICE)
        self.out()
        self.pools[REMOTE] += 1

    def dev_num_streams(self):
        self.b(38)
        self.handle(DEVICE)
        self.out()

    def dev_stream_id(self, index):
        self.b(39)
        self.handle(DEVICE)
        self.index(index)
        self.out_buffer()
        self.size_pointer()

    def dev_open_stream(self, which=-1):
        self.b(40)
        self.handle(DEVICE, which)
        self.text_id('DS0')
        self.out()

    def dev_info(self, command):
        self.b(41)
        self.handle(DEVICE)
        self.info(command)

    def dev_close(self, which=-1):
        self.b(42)
        self.handle(DEVICE, which)

    def dev_parent(self):
        self.b(43)
        self.handle(DEVICE)
        self.out()

    def announce(self, memory_selector=6, null_memory=False, user=0x1234):
        self.b(44, memory_selector, 0 if null_memory else 1)
        self.u64(user)
        self.handle(STREAM)
        self.out()
        self.pools[BUFFER] += 1

    def alloc(self, selector=3, which=-1):
        """AllocationSize selector: 0 SIZE_MAX, 1 SIZE_MAX/2, 2 beyond 1 TiB, else MemorySize's
        selector 6 (8 KiB) follows."""
        self.b(45)
        self.handle(STREAM, which)
        self.b(selector)
        if selector == 2:
            self.b(0)
        elif selector >= 3:
            self.b(6)
        self.u64(7)
        self.out()
        self.pools[BUFFER] += 1

    def flush(self, operation, which=-1):
        self.b(46)
        self.handle(STREAM, which)
        self.enum(operation)

    def start(self, frames=None, which=-1):
        self.b(47)
        self.handle(STREAM, which)
        self.b(1)  # default flags
        if frames is None:
            self.b(1)  # GENTL_INFINITE
        else:
            self.b(0)
            self.u64(frames)

    def stop(self, flags=0, which=-1):
        self.b(48)
        self.handle(STREAM, which)
        self.enum(flags)

    def ds_info(self, command, which=-1):
        self.b(49)
        self.handle(STREAM, which)
        self.info(command)

    def buffer_id(self, index):
        self.b(50)
        self.handle(STREAM)
        self.index(index)
        self.out()
        self.pools[BUFFER] += 1

    def ds_close(self, which=-1):
        self.b(51)
        self.handle(STREAM, which)

    def revoke(self, which=-1):
        self.b(52)
        self.handle(STREAM)
        self.handle(BUFFER, which)
        self.out()
        self.out()

    def queue(self, which=-1):
        self.b(53)
        self.handle(STREAM)
        self.handle(BUFFER, which)

    def buffer_info(self, command, which=-1):
        self.b(55)
        self.handle(STREAM)
        self.handle(BUFFER, which)
        self.info(command)

    def chunk_data(self):
        self.b(56)
        self.handle(STREAM)
        self.handle(BUFFER)
        self.b(1, 4)
        self.out()

    def ds_parent(self):
        self.b(57)
        self.handle(STREAM)
        self.out()

    def parts(self):
        self.b(58)
        self.handle(STREAM)
        self.handle(BUFFER)
        self.out()
        self.b(59)
        self.handle(STREAM)
        self.handle(BUFFER)
        self.index(0)
        self.info(0)

    def open_chain(self, board=0, camera=0, read_only=False):
        self.b(60, board, camera, 0 if read_only else 1)
        for kind in (SYSTEM, INTERFACE, DEVICE, REMOTE, STREAM):
            self.pools[kind] += 1

    def acquire(self, buffers=5, frames_selector=3):
        self.b(61)
        self.handle(STREAM)
        self.b(buffers - 4, 1, frames_selector)
        self.pools[EVENT] += 1
        self.pools[BUFFER] += buffers

    def fault(self, parameter, value, board=0, camera=0):
        self.b(62, parameter - 101, value, board, camera)

    def requeue(self, ms=5):
        self.b(63)
        self.handle(EVENT)
        self.timeout(ms)
        self.handle(STREAM)


def seeds():
    made = {}

    s = Seed()  # one image, end to end, then the whole tree closed from the bottom
    s.open_chain()
    s.acquire(frames_selector=3)
    for _ in range(4):
        s.requeue()
    s.buffer_info(16)
    s.buffer_info(7)
    s.ds_info(1)
    s.stop()
    s.ds_close()
    s.dev_close()
    s.if_close()
    s.tl_close()
    s.close_lib()
    made['one-image'] = s

    s = Seed()  # every fault of the frame grabber on a running acquisition
    s.open_chain()
    for parameter, value in ((101, 2), (104, 3), (105, 2), (103, 1)):
        s.fault(parameter, value)
    s.acquire()
    for _ in range(6):
        s.requeue()
    s.register(STREAM, 0)
    s.get_data()
    s.fault(102, 1)
    s.requeue()
    s.stop()
    s.ds_info(2)
    made['faults'] = s

    s = Seed()  # the ports of every module: reads, writes, URLs, stacked access
    s.open_chain()
    s.alloc()
    for kind in PORT_KINDS:
        s.read_port(kind, 0x0)
        s.read_port(kind, 0x100, SIZE_64)
        s.port_url(kind)
        s.port_url(kind, SIZE_8)
        s.num_urls(kind)
        for command in (0, 8, 10):
            s.url_info(kind, 0, command)
        s.url_info(kind, 1, 0)
        for command in (0, 4, 12, 13):
            s.port_info(kind, command)
    s.write_port(REMOTE, 0x104, 64)
    s.write_port(REMOTE, 0x100, 1)  # the camera's acquisition start and stop commands
    s.write_port(REMOTE, 0x100, 2)
    s.write_port(REMOTE, 0x120, 1)
    s.write_port(REMOTE, 0x124, 1)
    s.write_port(REMOTE, 0x310, 1)
    s.write_port(INTERFACE, 0x5A0, 1)
    s.write_port(INTERFACE, 0x5C0, 1)
    s.write_port(STREAM, 0x34, 2)
    s.read_port(REMOTE, 0xFFFFFFFFFFFFFFFC, SIZE_8)
    s.read_port(SYSTEM, 0x940, SIZE_SCRATCH)
    s.read_port(DEVICE, 0x600, SIZE_MAX)
    s.stacked(False, REMOTE, [(0x104, SIZE_4), (0x108, SIZE_4), (0x114, SIZE_8)])
    s.stacked(True, REMOTE, [(0x118, SIZE_4), (0x11C, SIZE_4)])
    made['ports'] = s

    s = Seed()  # events on every module: register, wait, inspect, kill, flush, unregister
    s.open_chain()
    s.write_port(INTERFACE, 0x5B0, 1)  # event notification on
    s.write_port(REMOTE, 0x300, 1)
    s.register(INTERFACE, 5)
    s.write_port(INTERFACE, 0x5C0, 1)
    s.get_data()
    s.data_info(0)
    s.data_info(1)
    s.data_info(2, in_size_selector=SIZE_4)
    s.register(REMOTE, 4)
    s.register(DEVICE, 4)
    s.write_port(REMOTE, 0x310, 1)
    s.get_data(null_buffer=True)
    s.get_data(SIZE_8)
    s.get_data()
    s.data_info(1)
    for command in range(6):
        s.event_info(command)
    s.register(INTERFACE, 3)
    s.write_port(INTERFACE, 0x5A0, 1)
    s.event_flush()
    s.event_kill()
    s.get_data(ms=1)
    s.unregister(INTERFACE, 3)
    s.get_data()
    s.register(SYSTEM, 0)
    s.register(STREAM, 1)
    s.register(STREAM, 1)
    s.register(BUFFER, 1)
    made['events'] = s

    s = Seed()  # closing from the top while an acquisition runs, then calls on dead handles
    s.open_chain()
    s.acquire()
    s.requeue()
    s.if_close()
    s.queue()
    s.requeue()
    s.read_port(STREAM, 0x50)
    s.ds_info(8)
    s.stop()
    s.dev_close()
    s.tl_close()
    s.open_chain(board=1, camera=1)
    s.acquire(frames_selector=0)
    s.requeue()
    s.close_lib()
    s.read_port(REMOTE, 0x104)
    s.init()
    s.read_port(REMOTE, 0x104)
    made['close-while-acquiring'] = s

    s = Seed()  # every information query of the library, System, interfaces and devices
    s.init()
    for command in range(13):
        s.gc_get_info(command)
    s.gc_get_info(0, null_buffer=True)
    s.gc_get_info(0, size=SIZE_4)
    s.last_error()
    s.tl_open()
    s.tl_update()
    s.tl_num_interfaces()
    s.tl_interface_id(0)
    s.tl_interface_id(1, SIZE_4)
    s.tl_interface_id(7)
    for command in range(12):
        s.tl_info(command)
    for command in range(5):
        s.tl_interface_info(command)
    s.tl_open_interface()
    s.if_update()
    s.if_num_devices()
    s.if_device_id(0)
    s.if_device_id(1)
    for command in range(4):
        s.if_info(command)
    for command in range(12):
        s.if_device_info(command, which=1)
    s.if_open_device(1, flags=3)
    s.if_open_device(1, flags=2)
    s.if_parent()
    s.dev_port()
    s.dev_num_streams()
    s.dev_stream_id(0)
    s.dev_stream_id(1)
    for command in range(12):
        s.dev_info(command)
    s.dev_parent()
    s.last_error()
    made['information'] = s

    s = Seed()  # buffers: own and allocated memory, refusals, every flush, revocation
    s.open_chain()
    s.announce()
    s.announce(memory_selector=0)
    s.announce(null_memory=True)
    s.alloc(selector=0)
    s.alloc(selector=1)
    s.alloc(selector=2)
    for _ in range(4):
        s.alloc()
    s.buffer_id(0)
    s.buffer_id(9)
    for which in range(3):
        s.queue(which)
    s.queue(0)
    for operation in (3, 0, 1, 2, 4, 5):
        s.flush(operation)
    for command in range(31):
        s.buffer_info(command, which=0)
    s.buffer_info(40, which=0)
    s.chunk_data()
    s.parts()
    s.ds_parent()
    for command in range(15):
        s.ds_info(command)
    s.start(frames=2)
    s.revoke(0)
    s.requeue()
    s.stop()
    s.stop()
    s.revoke(0)
    s.revoke(0)
    made['buffers'] = s

    s = Seed()  # two cameras acquiring at once; one device closed under its running stream
    s.open_chain(board=0, camera=0)
    s.acquire()
    s.open_chain(board=1, camera=0)
    s.acquire()
    s.fault(101, 3, board=1)
    s.requeue()
    s.requeue()
    s.dev_close(which=0)
    s.requeue()
    s.flush(2, which=0)
    s.dev_open_stream(which=0)
    s.ds_close(which=-1)
    s.tl_close()
    made['two-cameras'] = s

    s = Seed()  # trigger mode: the grab waits; stop and start again, small buffers
    s.open_chain()
    s.write_port(REMOTE, 0x120, 1)
    s.register(STREAM, 0)
    s.acquire()
    s.write_port(REMOTE, 0x124, 1)
    s.requeue()
    s.stop()
    s.flush(2)
    s.write_port(REMOTE, 0x104, 640)
    s.start()
    s.write_port(REMOTE, 0x124, 1)
    s.requeue()
    s.get_data()
    s.stop()
    made['triggers'] = s

    return made


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'corpus')
    os.makedirs(folder, exist_ok=True)
    for name, seed in seeds().items():
        with open(os.path.join(folder, name), 'wb') as out:
            out.write(bytes(seed.data))


if __name__ == '__main__':
    main()
