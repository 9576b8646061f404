#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into corpus/<target>/ (run once; the files are kept)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def put(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


def settings():
    key = b'[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption]\r\n'
    plain = (b'Windows Registry Editor Version 5.00\r\n\r\n' + key +
             b'"PortNumber"="COM3"\r\n"DefaultMonitor"=dword:00000000\r\n"WindowState"=hex:02\r\n')
    put('fuzz_settings_file', 'plain', b'\x04\x00\x00\x00\x00' + plain)
    put('fuzz_settings_file', 'remove', b'\x03\x01\x00\x01' + plain)
    put('fuzz_settings_file', 'comments',
        b'\x00Windows Registry Editor Version 5.00\n# by hand\n' + key.replace(b'\r', b'') +
        b'"PortNumber" = "COM4" ;mine\n"Bin"=hex: 01, 02,\\\n  03,\n; note\n')
    put('fuzz_settings_file', 'foreign',
        b'\x05\x00\x00\x00\x02\x41' + plain +
        b'"Multi"=hex(7):41,00,00,00,00,00\r\n"Lone"=hex(1):00,d8,41,00,00,00\r\n'
        b'"Bom"=hex(1):ff,fe,41,00,00,00\r\n"Odd"=hex(ffffffff):01\r\n@="default"\r\n')
    put('fuzz_settings_file', 'regedit4',
        b'\x00REGEDIT4\r\n\r\n' + key + b'"Name"="M\xfcller"\r\n"Path"=hex(2):25,50,41,54,48,25,00\r\n')
    put('fuzz_settings_file', 'utf16', b'\x00' + b'\xff\xfe' + plain.decode().encode('utf-16-le'))
    put('fuzz_settings_file', 'blank_key', b'\x00Windows Registry Editor Version 5.00\r\n\r\n[ ]\r\n"A"="1"\r\n')
    put('fuzz_settings_file', 'two_sections', b'\x03\x00\x00\x01' + plain + b'\r\n' + key + b'"Second"="x"\r\n')


def language():
    with open(os.path.join(ROOT, 'data', 'lang', 'english_en_gb.ini'), 'rb') as f:
        shipped = f.read()
    put('fuzz_language_file', 'shipped', b'\x07Button1' + shipped)
    put('fuzz_language_file', 'block', b'\x05About' + b'\xef\xbb\xbf[translations]\r\nAbout1=a#13#10\r\n'
        b'About2=b\r\nabout1=c\r\n; x\r\n[other]\rk=v\n')
    put('fuzz_language_file', 'empty', b'\x00[translations]\n')


def rich_text():
    with open(os.path.join(ROOT, 'data', 'readme.rtf'), 'rb') as f:
        put('fuzz_rich_text', 'readme', f.read())
    put('fuzz_rich_text', 'formats',
        b'{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}'
        b'\\pard\\qc\\li720\\sb120\\f0\\fs24\\cf1\\b bold\\b0\\i it\\ul u\\strike s\\super 2\\nosupersub '
        b'\\u8364?\\\'e9\\line\\tab x\\par{\\*\\generator g}{\\info{\\title t}}}')
    put('fuzz_rich_text', 'cp932', b'{\\rtf1\\ansi\\ansicpg932 \\\'82\\\'a0\\uc2\\u12354??end}')
    put('fuzz_rich_text', 'deep', b'{\\rtf1' + b'{' * 5000 + b'x' + b'}' * 5000 + b'}')


def command_line():
    for name, args in {
        'window': [b'/P3', b'/L6', b'/Fscript.qcs', b'plain.qcs', b'/x'],
        'write': [b'write', b'--port', b'COM3', b'--port=4', b'--json', b'--restart-wait', b'20', b's.qcs'],
        'all': [b'write', b'--all', b'--log-dir', b'/tmp/l', b'--', b'--s.qcs'],
        'other': [b'doctor', b'--json'],
        'help': [b'find', b'--help', b'--version'],
        'bad': [b'ports', b'--all', b'/P65536', b'/l-7', b'/p 12 '],
    }.items():
        put('fuzz_command_line', name, b'\0'.join(args))


def gateway():
    # mode/faults a, b, restart/100 ms, line speed, job flags, script size, seed, changes
    def seed(name, a, b=0, speed=1, flags=0, size=100, changes=b''):
        put('fuzz_gateway', name, bytes([a, b, 15, speed, flags]) + struct.pack('>H', size) + b'\x05' + changes)
    seed('config', 0x00)
    seed('config_96_extras', 0x88, 0x01, size=300)
    seed('config_lower_no_handshake', 0x44, speed=0)
    seed('debug', 0x01, size=260)
    seed('debug_no_handshake_garbage', 0x05, 0x01)
    seed('debug_config_mode', 0x02)
    seed('silent_yes', 0x00, 0x0e)
    seed('silent_no', 0x00, 0x0e, flags=0x80)
    seed('no_restart', 0x10)
    seed('offline', 0x00, flags=0x40)
    seed('absent_script', 0x00, flags=0x20)
    seed('too_large', 0x01, flags=0x10)
    seed('skip_dot', 0x00, 0x10 | 0x20, size=250)
    seed('dropped_reply', 0x00, changes=b'\x00\x00')
    seed('split_ok', 0x00, changes=b'\x00\x06\x01\x01')
    seed('replaced_by_okok', 0x01, changes=b'\x01\x01\x04OKOK')
    seed('vanish', 0x00, changes=b'\x08\x05\x00\x01\x00\x00')
    seed('late_o', 0x01, size=20, changes=b'\x30\x03\x0f\xa0')


def simulator():
    def host(bytes_):
        return b''.join(b'\x01' + bytes([c]) for c in bytes_)
    script = bytes(range(40))
    config = b'\x10' + script.hex().upper().encode() + b'\n030C\n'
    put('fuzz_simulator', 'config', b'\x00\x00\x0a' + bytes([len(script)]) + script + host(b'\x14' + config + b'\x14'))
    frame = b'D\x00\x28' + script + b'\x03\x0c'
    put('fuzz_simulator', 'debug', b'\x01\x00\x0a' + bytes([len(script)]) + script + host(b'\x14O' + frame))
    put('fuzz_simulator', 'debug_config', b'\x02\x00\x0a\x00' + host(b'\x14OD\x00\x01a'))
    put('fuzz_simulator', 'faults', b'\xfc\x0f\x00\x80\x00\x10\x05' + b'\x03abc' + host(b'\x14\x10AB\n0001\n'))


settings()
language()
rich_text()
command_line()
gateway()
simulator()
