#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

DOCUMENTATION = r'''
module: plenar_info
short_description: What printers a machine has, what they are, and what was applied to them
version_added: 1.0.0
description:
  - Lists the serial ports, USB printers and parallel ports plenar finds, identifies the
    printer on a link (its model tag), and reads the apply records (what
    M(plenar.printer.plenar_profile) and M(plenar.printer.plenar_firmware) last applied to
    each printer, when, device names and serial numbers).
  - Never changes anything. Identifying sends the printer one identify request and nothing
    else.
author:
  - Plenar developers (@plenar)
extends_documentation_fragment:
  - plenar.printer.attributes
  - plenar.printer.attributes.info_module
  - plenar.printer.link
  - plenar.printer.link.program
options:
  gather:
    description:
      - What to read. C(identify) needs a link.
      - Left out, everything but C(identify), and C(identify) too when a link is given.
    type: list
    elements: str
    choices: [version, paths, ports, usb, lpt, identify, records]
'''

EXAMPLES = r'''
- name: What is attached to the till PC
  plenar.printer.plenar_info:
  register: attached

- name: Which printer answers on the first USB printer, and what was applied to it
  plenar.printer.plenar_info:
    usb: "{{ attached.usb_devices[0] }}"
    gather: [identify, records]
  register: till

- name: Show the device name set on it
  ansible.builtin.debug:
    msg: "{{ till.record.device.name | default('never set') }}"
'''

RETURN = r'''
version:
  description: plenar's version.
  returned: when gathered
  type: str
  sample: '1.0'
paths:
  description: Where plenar keeps its files (C(plenar --paths)).
  returned: when gathered
  type: dict
serial_ports:
  description: The serial ports with hardware behind them.
  returned: when gathered
  type: list
  elements: str
  sample: [/dev/ttyS0, /dev/ttyUSB0]
usb_devices:
  description: The USB printers, as the I(usb) option takes them.
  returned: when gathered
  type: list
  elements: str
  sample: ['VID_1234&PID_811E&SN_PLENAR0001', 'VID_1234&PID_811E&PORT_1-4']
lpt_ports:
  description: The parallel ports.
  returned: when gathered
  type: list
  elements: dict
  sample: [{name: LPT1, number: 1, io_base: 888, device: /dev/lp0}]
printer:
  description: The printer on the link, C(found) and its C(model_tag).
  returned: when identify was gathered
  type: dict
  sample: {found: true, model_tag: PLENAR80}
records:
  description:
    - Every apply record in the record folder, with the file's C(path), in the words of
      M(plenar.printer.plenar_profile)'s options (the file itself keeps plenar's own).
      C(device) holds the C(name) and C(serial_no) set; C(groups) holds each settings group
      under the option it sets (C(switches), C(ethernet.ip)), with its C(values) named as the
      task names them (C(bluetooth.password_check)), a password as C(********) when one is
      set, and when it was C(applied).
    - A file that cannot be read is listed with C(error).
  returned: when gathered
  type: list
  elements: dict
record:
  description:
    - The record of the printer on the given link (the file plenar names for that link),
      C(null) when there is none.
  returned: when records were gathered and a link is given
  type: dict
'''

import json
import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.plenar.printer.plugins.module_utils.plenar_cli import (
    LINK_KINDS, PlenarCli, PlenarError, link_kind, link_options, program_options)
from ansible_collections.plenar.printer.plugins.module_utils.plenar_options import (
    record_in_own_words)

GATHER = ['version', 'paths', 'ports', 'usb', 'lpt', 'identify', 'records']


def read_records(folder):
    """The records in `folder`, in name order; a file that cannot be read is named with why."""
    records = []
    try:
        names = sorted(n for n in os.listdir(folder) if n.endswith('.json'))
    except OSError:
        return records
    for name in names:
        path = os.path.join(folder, name)
        try:
            with open(path, encoding='utf-8') as f:
                record = json.load(f)
            if not isinstance(record, dict):
                raise ValueError('not a JSON object')
        except (OSError, ValueError) as e:
            records.append(dict(path=path, error=str(e)))
            continue
        record = record_in_own_words(record)
        record['path'] = path
        records.append(record)
    return records


def main():
    module = AnsibleModule(
        argument_spec=dict(gather=dict(type='list', elements='str', choices=GATHER),
                           **dict(link_options(), **program_options())),
        mutually_exclusive=[LINK_KINDS],
        supports_check_mode=True,
    )
    p = module.params
    link = dict((k, p[k]) for k in link_options())
    gather = p['gather']
    if gather is None:
        gather = [g for g in GATHER if g != 'identify' or link_kind(link)]
    if 'identify' in gather and not link_kind(link):
        module.fail_json(msg='identify needs a link: one of %s' % ', '.join(LINK_KINDS))

    cli = PlenarCli(module, p['plenar_path'], p['state_dir'])
    out = dict(changed=False)
    try:
        if 'version' in gather:
            out['version'] = cli.run_ok(['--version'])['result']['version']
        paths = None
        # plenar names the record of a link (--paths with the link: apply_record).
        with_link = 'records' in gather and link_kind(link)
        if 'paths' in gather or with_link or ('records' in gather and not p['record_dir']):
            paths = cli.run_ok(['--paths'], link if with_link else None)['result']
            if 'paths' in gather:
                out['paths'] = paths
        if 'ports' in gather:
            out['serial_ports'] = cli.run_ok(['list-ports'])['result']['ports']
        if 'usb' in gather:
            out['usb_devices'] = cli.run_ok(['list-usb'])['result']['devices']
        if 'lpt' in gather:
            out['lpt_ports'] = cli.run_ok(['list-lpt'])['result']['ports']
        if 'identify' in gather:
            out['printer'] = cli.run_ok(['test'], link)['result']
    except PlenarError as e:
        if e.doc:
            out['error'] = e.doc['error']
        else:
            out['error'] = dict(kind=e.kind, message=e.msg, detail='', field='')
        module.fail_json(msg=e.msg, **out)

    if 'records' in gather:
        folder = p['record_dir'] or paths['apply_records']
        out['records'] = read_records(folder)
        if link_kind(link):
            if not isinstance(paths.get('apply_record'), dict):
                module.fail_json(msg='plenar does not name the record of a link (plenar '
                                     '--paths gives no apply_record); plenar is too old for '
                                     'this module (plenar_path)', **out)
            # The record folder keeps plenar's file name for the link.
            mine = os.path.join(folder, os.path.basename(paths['apply_record']['path']))
            found = [r for r in out['records'] if r['path'] == mine]
            out['record'] = found[0] if found else None
    module.exit_json(**out)


if __name__ == '__main__':
    main()
