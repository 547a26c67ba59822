#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

DOCUMENTATION = r'''
module: plenar_firmware
short_description: Update a thermal printer's firmware with plenar
version_added: 1.0.0
description:
  - Downloads a firmware file to the printer with C(plenar apply), as a profile that names
    only the firmware.
  - The printer is identified first and a file for another model (the model tag in the file
    against the printer's) is refused before any byte is sent. The parallel port cannot
    identify a printer, so there the file is sent unchecked.
  - Skipped (C(changed=false), the file not sent; with I(verify=false) not even a link test)
    when the printer's record holds the same file hash, that is when this file was the last
    firmware applied to it.
  - Roll it out in stages; see the collection's README (C(serial) and
    C(max_fail_percentage) of the play).
  - Check mode runs C(plenar apply --check) and sends nothing. It says whether the record
    holds this file; it cannot check the model tag, which needs the printer.
author:
  - Plenar developers (@plenar)
extends_documentation_fragment:
  - plenar.printer.attributes
  - plenar.printer.link
  - plenar.printer.link.program
attributes:
  check_mode:
    support: full
    details:
      - Runs C(plenar apply --check); nothing is sent to the printer.
  diff_mode:
    support: full
    details:
      - The previous and the new firmware file.
options:
  file:
    description: The firmware file on the managed host.
    type: path
    required: true
  wait:
    description:
      - Seconds plenar waits for the printer to restart into its boot loader, as the window's
        wait box.
    type: int
    default: 5
  force:
    description: Send the file even when the record says it is on the printer already.
    type: bool
    default: false
  verify:
    description:
      - Identify the printer on the link before the record decides what to send
        (C(plenar apply --verify)), so that a printer that does not answer fails instead of
        reporting C(ok) from its record alone, and a printer of another model than the
        record's is not taken for the recorded one. Costs one identify request per run.
      - Check mode sends nothing and never verifies.
    type: bool
    default: true
'''

EXAMPLES = r'''
- name: Firmware 2.4 on every till printer, one shop first, then 5 %, then the rest
  hosts: shops
  gather_facts: false
  serial: [1, "5%", "100%"]
  max_fail_percentage: 0
  tasks:
    - name: Update the firmware
      plenar.printer.plenar_firmware:
        serial: /dev/ttyUSB0
        file: /srv/plenar/firmware-2.4.prg
'''

RETURN = r'''
changed:
  description: Whether the file was sent (in check mode, would be sent).
  returned: always
  type: bool
firmware:
  description: The file and the model tag it is for, as read from it.
  returned: always
  type: dict
  sample: {path: /srv/plenar/firmware-2.4.prg, model_tag: PLENAR80}
printer:
  description: The printer that answered the link test, with its model tag.
  returned: when it was identified
  type: dict
  sample: {model_tag: PLENAR80}
commands:
  description: C([firmware]) when the file was (would be) sent, else empty.
  returned: always
  type: list
  elements: str
steps:
  description: The firmware step with its status, the file's hash and the previous one.
  returned: when plenar printed a result
  type: list
  elements: dict
state_known:
  description: Whether a record of the printer existed.
  returned: when plenar printed a result
  type: bool
record:
  description: The record file, whether it existed and whether this run wrote it.
  returned: when plenar printed a result
  type: dict
error:
  description: Why it failed (C(kind) as for M(plenar.printer.plenar_profile)); C(null) on success.
  returned: always
  type: dict
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.plenar.printer.plugins.module_utils.plenar_cli import (
    LINK_KINDS, PlenarCli, PlenarError, apply_arguments, link_options,
    program_options, summarize_apply)
from ansible_collections.plenar.printer.plugins.module_utils.plenar_failures import (
    failure_message)

# Where a firmware file names the model it is for: 8 bytes, NUL-padded.
MODEL_TAG_OFFSET = 0x3000
MODEL_TAG_LENGTH = 8


def file_model_tag(path):
    """The model tag a firmware file is for, '' when the file is too short to name one."""
    with open(path, 'rb') as f:
        f.seek(MODEL_TAG_OFFSET)
        tag = f.read(MODEL_TAG_LENGTH)
    return tag.split(b'\0', 1)[0].decode('latin-1').upper()


def main():
    module = AnsibleModule(
        argument_spec=dict(
            file=dict(type='path', required=True),
            wait=dict(type='int', default=5),
            force=dict(type='bool', default=False),
            verify=dict(type='bool', default=True),
            **dict(link_options(), **program_options())),
        mutually_exclusive=[LINK_KINDS],
        required_one_of=[LINK_KINDS],
        supports_check_mode=True,
    )
    p = module.params
    link = dict((k, p[k]) for k in link_options())
    path = os.path.abspath(p['file'])
    out = dict(changed=False, commands=[], error=None, firmware=dict(path=path, model_tag=None))
    try:
        out['firmware']['model_tag'] = file_model_tag(path)
    except OSError as e:
        out['error'] = dict(kind='file', message=str(e), detail='', field='file')
        module.fail_json(msg='%s: %s' % (path, e), **out)
    if p['wait'] < 0:
        module.fail_json(msg='wait: %d is not a number of seconds' % p['wait'], **out)

    cli = PlenarCli(module, p['plenar_path'], p['state_dir'])
    profile = cli.write_profile([('Files', [('Firmware', path), ('FirmwareWait', p['wait'])])])
    args = apply_arguments(profile, check=module.check_mode, force=p['force'],
                           record_dir=p['record_dir'], verify=p['verify'])
    try:
        doc = cli.run(args, link)
    except PlenarError as e:
        cli.remove_profiles()
        out['error'] = dict(kind=e.kind, message=e.msg, detail=e.stderr.strip(), field='')
        module.fail_json(msg=e.msg, rc=e.rc, **out)
    cli.remove_profiles()
    summary = summarize_apply(doc, module.check_mode)
    for key in ('changed', 'commands', 'steps', 'printer', 'state_known', 'record', 'diff',
                'error', 'notes'):
        out[key] = summary[key]
    if not doc['ok']:
        module.fail_json(msg=failure_message(doc, link), rc=doc['exit_code'], **out)
    module.exit_json(**out)


if __name__ == '__main__':
    main()
