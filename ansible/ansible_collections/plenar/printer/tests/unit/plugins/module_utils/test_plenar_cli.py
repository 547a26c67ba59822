# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import json

import pytest

from ansible_collections.plenar.printer.plugins.module_utils import plenar_cli, plenar_failures


@pytest.mark.parametrize('record_dir, tail', [
    # The folder only: plenar names the record of the link in it, the module computes no name.
    ('/var/rec', ['--record-dir', '/var/rec']),
    ('/srv/plenar records', ['--record-dir', '/srv/plenar records']),
    (None, []),
    ('', []),
])
def test_record_dir_is_passed_as_a_folder(record_dir, tail):
    assert plenar_cli.apply_arguments('/p.ini', record_dir=record_dir) == \
        ['apply', '/p.ini'] + tail


@pytest.mark.parametrize('link, args', [
    ({'serial': '/dev/ttyS0', 'device_baud': 9600, 'transfer_baud': None},
     ['--serial', '/dev/ttyS0', '--device-baud', '9600']),
    ({'net': '10.0.0.5:5100', 'device_baud': 9600}, ['--net', '10.0.0.5:5100']),
    ({'usb': 'VID_1234&PID_811E'}, ['--usb', 'VID_1234&PID_811E']),
    ({'lpt': 1, 'serial': ''}, ['--lpt', '1']),
    ({}, []),
])
def test_link_arguments(link, args):
    assert plenar_cli.link_arguments(link) == args


def test_two_links_are_refused():
    with pytest.raises(ValueError):
        plenar_cli.link_arguments({'serial': '/dev/ttyS0', 'lpt': 1})


@pytest.mark.parametrize('value, line', [
    ('shop', 'shop'),
    ('a=b;c', 'a=b;c'),
    (' shop ', '" shop "'),           # plenar trims values
    ('"quoted"', '""quoted""'),       # and drops one pair of enclosing quotes
    ("'x'", '"\'x\'"'),
    ('"half', '"half'),
    (42, '42'),
])
def test_ini_value_survives_plenar_reading_it(value, line):
    assert plenar_cli.ini_value('Key', value) == line


@pytest.mark.parametrize('value', ['a\nb', 'a\rb', 'a\x00b'])
def test_ini_value_refuses_what_would_start_a_line(value):
    with pytest.raises(ValueError, match='Key: a profile value cannot hold a line break'):
        plenar_cli.ini_value('Key', value)


@pytest.mark.parametrize('error, link, has', [
    ({'kind': 'permission', 'message': 'Connecting Failed', 'detail': 'Permission denied'},
     {'serial': '/dev/ttyS0'}, ['serial /dev/ttyS0: Connecting Failed; Permission denied;',
                                'the dialout group']),
    ({'kind': 'permission', 'message': 'Connecting Failed', 'detail': ''},
     {'lpt': 1}, ['the lp group']),
    ({'kind': 'permission', 'message': 'Connecting Failed', 'detail': ''},
     {'usb': 'VID_1234&PID_811E'}, ['the plenar group']),
    ({'kind': 'busy', 'message': 'Connecting Failed', 'detail': ''},
     {'serial': '/dev/ttyS0'}, ['another program holds the port']),
    ({'kind': 'link', 'message': 'Connecting Failed', 'detail': ''},
     {'net': '10.0.0.5'}, ['net 10.0.0.5: ', 'did not answer']),
    # The module wrote the profile file: the option, not a line of its private file.
    ({'kind': 'refused', 'message': 'bad', 'detail': '', 'field': 'CodePage', 'line': 4},
     None, ['bad (profile.codepage)', 'refused before anything was sent']),
    ({'kind': 'refused', 'message': 'bad', 'detail': '', 'field': 'BlueToolthMode'},
     None, ['bad (profile.bluetooth.mode)']),
    ({'kind': 'refused', 'message': 'bad', 'detail': '', 'field': 'Logo3'},
     None, ['bad (profile.files.logos)']),
    # Hints that fit the link: a port that is not there, a network printer that is silent.
    ({'kind': 'link', 'message': 'Connecting Failed',
      'detail': '/dev/ttyUSB9: No such file or directory'},
     {'serial': '/dev/ttyUSB9'}, ['no such port on this host']),
    ({'kind': 'link', 'message': 'Connecting Failed', 'detail': ''},
     {'serial': '/dev/ttyUSB0'}, ['the rate (device_baud)']),
    ({'kind': 'link', 'message': 'Connecting Failed', 'detail': ''},
     {'usb': 'VID_1234&PID_811E'}, ['plugged in']),
    ({'kind': 'file', 'message': 'Cannot open file', 'detail': ''}, None, ['could not be read']),
    ({'kind': 'usage', 'message': 'unknown option --new', 'detail': ''}, {'lpt': 2},
     ['lpt 2: unknown option --new', 'a fault of the module']),
])
def test_failure_message_says_what_to_do(error, link, has):
    message = plenar_failures.failure_message({'error': error}, link)
    for text in has:
        assert text in message
    if error['kind'] != 'permission':
        assert 'group' not in message
    if 'serial' not in (link or {}) or 'No such file' in error['detail']:
        assert 'device_baud' not in message


@pytest.mark.parametrize('message, field, text', [
    # plenar's own messages for a device name or serial number it refuses.
    ("--device: --device NAME: 'xxxxxxxxxxxxxxxxxxxxx' is refused (at most 20 bytes in GBK)",
     'device.name', "'xxxxxxxxxxxxxxxxxxxxx' is refused (at most 20 bytes in GBK) (device.name)"),
    ("--device: --device SERIAL: '12a' is refused (digits only, at most 20 characters)",
     'device.serial_no', "'12a' is refused (digits only, at most 20 characters) (device.serial_no)"),
    ('--device: something else', 'device', 'something else (device)'),
])
def test_a_refused_device_is_named_by_the_tasks_option(message, field, text):
    doc = {'error': {'kind': 'refused', 'message': message, 'detail': '', 'field': '--device'}}
    for translate in (True, False, frozenset(['CodePage'])):
        assert plenar_failures.own_error(doc, translate)['field'] == field
        assert plenar_failures.failure_message(doc, None, translate).startswith(text + '; ')
        assert '--device' not in plenar_failures.failure_message(doc, None, translate)


def test_a_refusal_in_the_users_file_keeps_key_and_line():
    error = {'kind': 'refused', 'message': 'bad', 'detail': '', 'field': 'CodePage', 'line': 4}
    message = plenar_failures.failure_message({'error': error}, None, translate=False)
    assert message.startswith('bad (line 4, CodePage); ')


@pytest.mark.parametrize('field, steps, path', [
    ('times', [{'group': 'times', 'values': {'sleepTime': '1', 'poweroffTime': '2'}}],
     'profile.times'),
    ('net-ip', [{'group': 'net-ip', 'values': {'NetIPAddress': '10.0.0.9'}}],
     'profile.ethernet.ip'),
    ('firmware', [], 'file'),
    ('device', [], 'device'),
    # Named by plenar's group alone, without the values of a step.
    ('black-mark-distance', [], 'profile.black_mark.distance'),
    ('wifi-ap', [], 'profile.wifi_ap'),
    ('font', [], 'profile.files.font'),
    ('DeviceSerialNo', [], 'device.serial_no'),
    ('FirmwareWait', [], 'wait'),
    ('', [], ''),
])
def test_error_field_names_the_option_of_a_failed_group(field, steps, path):
    doc = {'error': {'field': field}, 'result': {'steps': steps}}
    assert plenar_failures.error_field(doc) == path


def test_every_error_kind_of_the_schema_has_a_hint():
    assert set(plenar_failures.ERROR_HINTS) == {
        'link', 'printer', 'refused', 'usage', 'busy', 'permission', 'file'}


def document(ok=True, exit_code=0, schema=1):
    return json.dumps({'schema': schema, 'command': 'test', 'ok': ok, 'exit_code': exit_code,
                       'link': None, 'printer': None, 'result': {}, 'error': None})


@pytest.mark.parametrize('rc, out, err, problem', [
    (0, document(), '', None),
    (1, document(ok=False, exit_code=1), '', None),
    (0, '', '', 'printed no result document (exit code 0): no output'),
    (-9, 'Connecting', 'killed\n', 'printed no result document (exit code -9): killed'),
    (0, document(schema=2), '', 'unknown schema (2)'),
    (0, '[1]', '', 'unknown schema'),
    (1, document(), '', 'exited with 1 but its document says exit_code 0, ok True'),
    (0, document(ok=False, exit_code=0), '', 'exited with 0 but its document says'),
])
def test_parse_document_trusts_only_a_consistent_document(rc, out, err, problem):
    if problem is None:
        assert plenar_cli.parse_document(rc, out, err)['exit_code'] == rc
        return
    with pytest.raises(plenar_cli.PlenarError) as e:
        plenar_cli.parse_document(rc, out, err)
    assert e.value.kind == 'output'
    assert problem in e.value.msg


@pytest.mark.parametrize('kwargs, tail', [
    ({}, []),
    ({'verify': True}, ['--verify']),
    # Check mode sends nothing, not even the identify request.
    ({'verify': True, 'check': True}, ['--check']),
    ({'force': True, 'verify': True}, ['--force', '--verify']),
    ({'record_dir': '/r', 'device': {'name': 'till', 'serial_no': '7'}},
     ['--device', 'till', '7', '--record-dir', '/r']),
    ({'settings': [('PaperType', 'label'), ('Dark', '2')], 'check': True},
     ['--set', 'PaperType=label', '--set', 'Dark=2', '--check']),
    # A value holding '=' or spaces is one argument; plenar splits at the first '='.
    ({'settings': [('CodePage', 'a=b c')]}, ['--set', 'CodePage=a=b c']),
])
def test_apply_arguments(kwargs, tail):
    assert plenar_cli.apply_arguments('/p.ini', **kwargs) == ['apply', '/p.ini'] + tail


@pytest.mark.parametrize('key', ['BlueToolthPsw', 'NetworkPsw', 'StaModePsw', 'stamodepsw'])
def test_a_password_never_goes_on_the_argument_list(key):
    with pytest.raises(ValueError) as e:
        plenar_cli.apply_arguments('/p.ini', settings=[('SSID', 'office'), (key, 'Secr3t')])
    assert 'Secr3t' not in str(e.value)
