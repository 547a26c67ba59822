#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
# SPDX-License-Identifier: GPL-3.0-or-later

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

DOCUMENTATION = r'''
module: plenar_profile
short_description: Bring a thermal printer to a profile with plenar
version_added: 1.0.0
description:
  - Makes one printer, or each printer of a site, match a profile by running
    C(plenar apply). The profile is given as I(profile), a dictionary by settings group, or
    as I(src), a profile file (the C([ParaDefault]) keys the parameter window stores, and
    an optional C([Files]) section).
  - A printer cannot report its settings. What is already set is known only from the record
    plenar keeps of what it last applied to the printer (one file per printer link, see
    I(record_dir)). A group whose hash matches the record is not sent, so a second run with
    the same profile sends nothing and reports C(changed=false).
  - Without a record every group is sent and the result says C(state_known=false).
  - Each group (one button of the parameter window) is one request to the printer, so a
    group is set as a whole. Groups are sent in this order, firmware first, then fonts and
    logos, then the settings that leave the link alone, then those that change the link
    (the current link's own parameter last).
  - Check mode runs C(plenar apply --check), which reads the record and sends nothing to
    the printer, not even a link test. Its C(changed) is exact when a record exists (it
    says which groups differ from what was last applied; a printer changed by hand since
    then is not noticed) and a prediction otherwise (C(state_known=false), every group
    would be sent).
author:
  - Plenar developers (@plenar)
extends_documentation_fragment:
  - plenar.printer.link
  - plenar.printer.link.program
attributes:
  check_mode:
    support: full
    description: Runs C(plenar apply --check); nothing is sent to the printer.
  diff_mode:
    support: full
    description: Before and after of each group sent, from the record; passwords masked.
options:
  profile:
    description:
      - The settings, one key per settings group. A group that is left out is not managed
        (the printer keeps whatever it has).
      - The module writes them as a profile file in a private temporary folder.
    type: dict
    suboptions:
      baud:
        description: The serial rate the printer is set to (changes a serial link; sent last).
        type: int
        choices: [1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400]
      flow:
        description: Serial flow control (sent before I(baud)).
        type: str
        choices: [software, hardware]
      codepage:
        description:
          - The code page, by its name before the description (C(CP437), C(CP850),
            C(ISO-8859-1), C(EUC-KR)), by the full text of the window's list, or its index.
        type: str
      switches:
        description: Font, density, line feed, buzzer and cutter (one request).
        type: dict
        suboptions:
          font:
            description: The font.
            type: str
            required: true
            choices: ['9x17', '12x24', '9x24', '16x18']
          density:
            description: The print density.
            type: str
            required: true
            choices: [light, normal, dark, extra-dark]
          line_feed:
            description: The character that feeds a line, C(LF) (0x0A) or C(CR) (0x0D).
            type: str
            default: LF
            choices: [LF, CR]
          buzzer:
            description: Whether the buzzer sounds.
            type: bool
            required: true
          cutter:
            description: Whether the cutter cuts.
            type: bool
            required: true
      times:
        description: Sleep and power-off times (one request).
        type: dict
        suboptions:
          sleep:
            description: Seconds until the printer sleeps.
            type: int
            required: true
          power_off:
            description: Seconds until the printer switches off.
            type: int
            required: true
      bluetooth:
        description:
          - The Bluetooth module (one request). With both names empty the group is not
            managed (plenar lists its keys as ignored).
        type: dict
        suboptions:
          name:
            description: The name (at most 20 bytes).
            type: str
            default: ''
          dual_name:
            description: The name of the second mode of a dual-mode module.
            type: str
            default: ''
          password:
            description: The pairing password; never logged, results show it masked.
            type: str
            default: ''
          model:
            description: The module's model number.
            type: int
            default: 1
          mode:
            description: The module fitted.
            type: str
            required: true
            choices: [none, single, dual]
          password_check:
            description: Whether pairing asks for the password.
            type: bool
            required: true
      bt_workmode:
        description: The Bluetooth work mode.
        type: str
        choices: [high-speed, normal]
      bt_hide:
        description: Whether the printer hides from Bluetooth searches.
        type: bool
      wifi_ap:
        description:
          - Wi-Fi access-point mode. The printer keeps one Wi-Fi mode, so only one of
            I(wifi_ap) and I(wifi_sta).
        type: dict
        suboptions:
          name:
            description: The network name.
            type: str
            required: true
          password:
            description: The network password; never logged.
            type: str
            default: ''
      wifi_sta:
        description: Wi-Fi station mode (only one of I(wifi_ap) and I(wifi_sta)).
        type: dict
        suboptions:
          ssid:
            description: The network to join.
            type: str
            required: true
          password:
            description: Its password; never logged.
            type: str
            default: ''
          addressing:
            description: How the printer gets its address.
            type: str
            default: dhcp
            choices: [dhcp, static]
          ip:
            description: The address (I(addressing=static)).
            type: str
          mask:
            description: The subnet mask (I(addressing=static)).
            type: str
          gateway:
            description: The gateway (I(addressing=static)).
            type: str
          port:
            description: The port the printer listens on.
            type: int
            required: true
      ethernet:
        description:
          - The Ethernet interface; each key is a request of its own. Over a network link the
            address, mask, gateway and port change the link and are sent last, the address
            after the others; the next run finds the printer at the new address. Switching
            Ethernet off over the network link is refused.
        type: dict
        suboptions:
          ip:
            description: The address.
            type: str
          mask:
            description: The subnet mask.
            type: str
          gateway:
            description: The gateway.
            type: str
          mac:
            description: The MAC address, twelve hexadecimal digits (pairs may be separated by C(:)).
            type: str
          port:
            description: The UDP port (2..65535).
            type: int
          enabled:
            description: Whether the Ethernet interface is on.
            type: bool
      infrared:
        description: The infrared interface (one request).
        type: dict
        suboptions:
          enabled:
            description: Whether it is on.
            type: bool
            required: true
          baud:
            description: Its rate.
            type: int
            default: 9600
            choices: [9600, 19200, 38400, 57600, 115200]
          protocol:
            description: Raw infrared or IrDA.
            type: str
            default: raw
            choices: [raw, irda]
      black_mark:
        description: Black-mark paper; each key is a request of its own.
        type: dict
        suboptions:
          enabled:
            description: Whether the printer looks for black marks.
            type: bool
          distance:
            description: How far it looks for a mark.
            type: int
          width:
            description: The mark's width.
            type: int
      cutter_feed:
        description: The feed to the cutter.
        type: int
      usb_type:
        description:
          - What the printer shows on USB. Over a USB link this is sent last; as a virtual
            serial port the printer is no longer a USB printer and is found with
            C(plenar list-ports).
        type: str
        choices: [virtual-serial, printer]
      paper_type:
        description: The paper.
        type: str
        choices: [receipt, label]
      print_order:
        description: The print order.
        type: str
        choices: [normal, reverse]
      retract_time:
        description: Seconds before an unclaimed receipt is taken back (1..255).
        type: int
      paper_size:
        description: The paper width in inches.
        type: int
        choices: [2, 3, 4]
      files:
        description:
          - A font and logos to download (paths on the managed host). A file is sent again
            only when its contents change.
        type: dict
        suboptions:
          font:
            description: The font file.
            type: path
          font_address:
            description: The font's start address, hexadecimal (required with I(font)).
            type: str
          logos:
            description: The logo images (BMP), in order.
            type: list
            elements: path
          logo_raw:
            description: Download the logos as an NV logo file (C(1C 71)) rather than C(1.bin).
            type: bool
            default: false
  src:
    description:
      - A profile file on the managed host, instead of I(profile). The device name and serial
        number in it are ignored; give them with I(device).
    type: path
  device:
    description:
      - The printer's device name and serial number, which differ per printer and are never
        taken from a shared profile.
    type: dict
    suboptions:
      name:
        description: The device name.
        type: str
        required: true
      serial_no:
        description: The serial number (digits).
        type: str
        required: true
  force:
    description: Send every group, whatever the record says.
    type: bool
    default: false
  printers:
    description:
      - The printers of a site, each brought to the same profile in one module run, one after
        the other. The module fails when any of them failed, after trying all of them.
      - Instead of the link options.
    type: list
    elements: dict
    suboptions:
      name:
        description: A name for the results; the link when left out.
        type: str
      serial:
        description: As I(serial) above.
        type: str
      net:
        description: As I(net) above.
        type: str
      usb:
        description: As I(usb) above.
        type: str
      lpt:
        description: As I(lpt) above.
        type: int
      device_baud:
        description: As I(device_baud) above.
        type: int
        choices: [1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400]
      transfer_baud:
        description: As I(transfer_baud) above.
        type: int
        choices: [1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400]
      device:
        description: As I(device) above, for this printer.
        type: dict
        suboptions:
          name:
            description: The device name.
            type: str
            required: true
          serial_no:
            description: The serial number (digits).
            type: str
            required: true
notes:
  - The printer's failure kinds (C(error.kind)) come from plenar; a port held by another
    program fails with C(busy), a port the user may not open with C(permission).
  - Passwords go to the printer only through the profile file, which is private to the module
    run and removed with it; results and records show them as C(********).
seealso:
  - module: plenar.printer.plenar_info
  - module: plenar.printer.plenar_firmware
'''

EXAMPLES = r'''
- name: Bring the till printer to the chain's profile
  plenar.printer.plenar_profile:
    serial: /dev/ttyUSB0
    device_baud: 9600
    profile:
      codepage: CP850
      switches: {font: 12x24, density: normal, buzzer: true, cutter: true}
      times: {sleep: 300, power_off: 7200}
      paper_type: receipt
      retract_time: 45
    device:
      name: "{{ inventory_hostname }}"
      serial_no: "{{ shop_number }}"

- name: Apply the profile a technician saved from the window
  plenar.printer.plenar_profile:
    net: 192.168.1.87:5100
    src: /etc/plenar/shop.ini

- name: Every printer of the shop in one module run
  plenar.printer.plenar_profile:
    printers:
      - {name: till-1, usb: VID_1234&PID_811E}
      - {name: kitchen, net: 192.168.1.88}
    profile:
      codepage: CP437
      bluetooth:
        name: shop-{{ shop_number }}
        password: "{{ vault_bt_password }}"
        mode: single
        password_check: true
'''

RETURN = r'''
changed:
  description: Whether any group was sent (in check mode, would be sent).
  returned: always
  type: bool
commands:
  description: The plenar commands of the groups sent (in check mode, that would be sent), in order.
  returned: when one printer is given
  type: list
  elements: str
  sample: [set-codepage, set-times]
steps:
  description:
    - Every group of the profile in the order it is sent, with its C(status) (C(done),
      C(skipped) because the record matches, C(failed), C(not-run)), its C(values)
      (passwords masked), the C(previous) values from the record, and its hash.
    - On failure, the steps done before it.
  returned: when one printer is given and plenar printed a result
  type: list
  elements: dict
  sample:
    - group: codepage
      command: set-codepage
      stage: settings
      status: done
      ms: 19
      sha256: 09e20985f6ee5d712f3ee7550300efe19147c03111dca14b99beac6fbeccaeee
      values: {CodePage: CP850}
      previous: {CodePage: CP437}
printer:
  description: The printer that answered the link test.
  returned: when one printer is given and it answered (not in check mode)
  type: dict
  contains:
    model_tag:
      description: Its model tag.
      type: str
      sample: PLENAR80
state_known:
  description: Whether a record of the printer existed (the result is exact), or not (every group is sent).
  returned: when one printer is given
  type: bool
link_after:
  description: Where the printer answers after the apply (a new rate or address); the next run finds it there.
  returned: when one printer is given
  type: dict
  sample: {kind: serial, port: /dev/ttyUSB0, device_baud: 115200, transfer_baud: 115200}
record:
  description: The record file, whether it existed and whether this run wrote it.
  returned: when one printer is given
  type: dict
  sample: {path: /var/lib/plenar/apply/serial-dev-ttyUSB0.json, existed: true, written: true}
ignored:
  description: Profile keys that set nothing, with the reason.
  returned: when one printer is given
  type: list
  elements: dict
notes:
  description: What plenar noticed on the way (a record of another link, the printer found on its recorded link).
  returned: when one printer is given
  type: list
  elements: str
diff:
  description: The values of each group sent before (from the record, when there was one) and after.
  returned: always
  type: dict
error:
  description:
    - Why it failed, C(null) on success. C(kind) is one of C(link), C(printer), C(refused),
      C(usage), C(busy), C(permission), C(file), or C(output) when plenar printed no result.
  returned: always
  type: dict
  sample: {kind: busy, message: Connecting Failed, detail: "/dev/ttyUSB0: Device or resource busy.", field: ""}
printers:
  description: With I(printers), the result of each printer (the keys above, plus C(name), C(failed) and C(msg)).
  returned: when I(printers) is given
  type: list
  elements: dict
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.plenar.printer.plugins.module_utils.plenar_cli import (
    LINK_KINDS, PlenarCli, PlenarError, RATES, apply_arguments, describe_link, failure_message,
    link_options, program_options, summarize_apply)


def _text(value):
    return str(value)


def _flag(value):
    return '1' if value else '0'


def _on_off(value):
    return 'on' if value else 'off'


def _from(table):
    return table.get


# Each profile option: its [ParaDefault] key and how a value is written there, in the plain forms
# plenar takes (keywords and list indexes, the same in any language).
SCALAR_KEYS = [
    ('baud', 'BaudRate', _text),
    ('flow', 'Flowcontrol', _from({'software': 'soft', 'hardware': 'hard'})),
    ('codepage', 'CodePage', _text),
    ('bt_workmode', 'BlueToolthWorkMode', _from({'high-speed': 'high', 'normal': 'normal'})),
    ('bt_hide', 'BluetoothSEEK', _on_off),
    ('cutter_feed', 'Cutteroptocoupler', _text),
    ('usb_type', 'UsbDeviceTpe', _from({'virtual-serial': 'vcom', 'printer': 'printer'})),
    ('paper_type', 'PaperType', _text),
    ('print_order', 'PrinterOrder', _text),
    ('retract_time', 'RptTime', _text),
    ('paper_size', 'PaperSizeType', _text),
]

GROUP_KEYS = [
    ('switches', [
        ('font', 'FontValue', _text),
        ('density', 'Dark', _from({'light': '0', 'normal': '1', 'dark': '2', 'extra-dark': '3'})),
        ('line_feed', 'ForcePaper', _from({'LF': '0A', 'CR': '0D'})),
        ('buzzer', 'buzzer', _flag),
        ('cutter', 'CutPaper', _flag),
    ]),
    ('times', [
        ('sleep', 'sleepTime', _text),
        ('power_off', 'poweroffTime', _text),
    ]),
    ('bluetooth', [
        ('name', 'BlueToolthName', _text),
        ('dual_name', 'MulBlueToolthName', _text),
        ('password', 'BlueToolthPsw', _text),
        ('model', 'BlueToolthType', _text),
        ('mode', 'BlueToolthMode', _from({'none': '0', 'single': '1', 'dual': '2'})),
        # Item 0 of the window's list asks for the password.
        ('password_check', 'BlueToolthCheck', lambda v: '0' if v else '1'),
    ]),
    ('wifi_ap', [
        ('name', 'NetworkName', _text),
        ('password', 'NetworkPsw', _text),
    ]),
    ('wifi_sta', [
        ('ssid', 'SSID', _text),
        ('password', 'StaModePsw', _text),
        ('addressing', 'IpType', _text),
        ('ip', 'IPaddress', _text),
        ('mask', 'Maskaddress', _text),
        ('gateway', 'Gatewayaddress', _text),
        ('port', 'Port', _text),
    ]),
    ('ethernet', [
        ('ip', 'NetIPAddress', _text),
        ('mask', 'Subnetmask', _text),
        ('gateway', 'gatewayt', _text),
        ('mac', 'MAC', _text),
        ('port', 'Netport', _text),
        ('enabled', 'Ethernet', _flag),
    ]),
    ('infrared', [
        ('enabled', 'InfraredType', _on_off),
        ('baud', 'InfraredBaurate', _text),
        ('protocol', 'irdaProtecl', _text),
    ]),
    ('black_mark', [
        ('enabled', 'BlackMark', _flag),
        ('distance', 'Blacklookdistance', _text),
        ('width', 'Blackwidth', _text),
    ]),
]


def profile_sections(profile):
    """The profile file's sections for the `profile` option."""
    settings = []
    for option, key, convert in SCALAR_KEYS:
        if profile.get(option) is not None:
            settings.append((key, convert(profile[option])))
    for option, keys in GROUP_KEYS:
        group = profile.get(option)
        if group is None:
            continue
        for sub, key, convert in keys:
            if group.get(sub) is not None:
                settings.append((key, convert(group[sub])))
    files = []
    given = profile.get('files') or {}
    if given.get('font') is not None:
        files.append(('Font', os.path.abspath(given['font'])))
    if given.get('font_address') is not None:
        files.append(('FontAddress', given['font_address']))
    for number, logo in enumerate(given.get('logos') or [], 1):
        files.append(('Logo%d' % number, os.path.abspath(logo)))
    if given.get('logos'):
        files.append(('LogoRaw', '1' if given.get('logo_raw') else '0'))
    return [('ParaDefault', settings), ('Files', files)]


def device_spec():
    return dict(type='dict', options=dict(
        name=dict(type='str', required=True),
        serial_no=dict(type='str', required=True),
    ))


def profile_spec():
    return dict(
        baud=dict(type='int', choices=RATES),
        flow=dict(type='str', choices=['software', 'hardware']),
        codepage=dict(type='str'),
        switches=dict(type='dict', options=dict(
            font=dict(type='str', required=True, choices=['9x17', '12x24', '9x24', '16x18']),
            density=dict(type='str', required=True,
                         choices=['light', 'normal', 'dark', 'extra-dark']),
            line_feed=dict(type='str', default='LF', choices=['LF', 'CR']),
            buzzer=dict(type='bool', required=True),
            cutter=dict(type='bool', required=True),
        )),
        times=dict(type='dict', options=dict(
            sleep=dict(type='int', required=True),
            power_off=dict(type='int', required=True),
        )),
        bluetooth=dict(type='dict', options=dict(
            name=dict(type='str', default=''),
            dual_name=dict(type='str', default=''),
            password=dict(type='str', default='', no_log=True),
            model=dict(type='int', default=1),
            mode=dict(type='str', required=True, choices=['none', 'single', 'dual']),
            password_check=dict(type='bool', required=True, no_log=False),
        )),
        bt_workmode=dict(type='str', choices=['high-speed', 'normal']),
        bt_hide=dict(type='bool'),
        wifi_ap=dict(type='dict', options=dict(
            name=dict(type='str', required=True),
            password=dict(type='str', default='', no_log=True),
        )),
        wifi_sta=dict(type='dict', options=dict(
            ssid=dict(type='str', required=True),
            password=dict(type='str', default='', no_log=True),
            addressing=dict(type='str', default='dhcp', choices=['dhcp', 'static']),
            ip=dict(type='str'),
            mask=dict(type='str'),
            gateway=dict(type='str'),
            port=dict(type='int', required=True),
        ), required_if=[('addressing', 'static', ('ip', 'mask', 'gateway'))]),
        ethernet=dict(type='dict', options=dict(
            ip=dict(type='str'),
            mask=dict(type='str'),
            gateway=dict(type='str'),
            mac=dict(type='str'),
            port=dict(type='int'),
            enabled=dict(type='bool'),
        )),
        infrared=dict(type='dict', options=dict(
            enabled=dict(type='bool', required=True),
            baud=dict(type='int', default=9600, choices=[9600, 19200, 38400, 57600, 115200]),
            protocol=dict(type='str', default='raw', choices=['raw', 'irda']),
        )),
        black_mark=dict(type='dict', options=dict(
            enabled=dict(type='bool'),
            distance=dict(type='int'),
            width=dict(type='int'),
        )),
        cutter_feed=dict(type='int'),
        usb_type=dict(type='str', choices=['virtual-serial', 'printer']),
        paper_type=dict(type='str', choices=['receipt', 'label']),
        print_order=dict(type='str', choices=['normal', 'reverse']),
        retract_time=dict(type='int'),
        paper_size=dict(type='int', choices=[2, 3, 4]),
        files=dict(type='dict', options=dict(
            font=dict(type='path'),
            font_address=dict(type='str'),
            logos=dict(type='list', elements='path'),
            logo_raw=dict(type='bool', default=False),
        )),
    )


def argument_spec():
    printer = dict(name=dict(type='str'), device=device_spec())
    printer.update(link_options())
    spec = dict(
        profile=dict(type='dict', options=profile_spec(),
                     mutually_exclusive=[('wifi_ap', 'wifi_sta')]),
        src=dict(type='path'),
        device=device_spec(),
        force=dict(type='bool', default=False),
        printers=dict(type='list', elements='dict', options=printer,
                      mutually_exclusive=[LINK_KINDS], required_one_of=[LINK_KINDS]),
    )
    spec.update(link_options())
    spec.update(program_options())
    return spec


def apply_one(module, cli, profile_path, printer):
    """Applies the profile to one printer: its summary, with `failed` and `msg` on failure."""
    check = module.check_mode
    record = cli.record_path(module.params['record_dir'], printer)
    args = apply_arguments(profile_path, check=check, force=module.params['force'],
                           device=printer.get('device'), record=record)
    try:
        doc = cli.run(args, printer)
    except PlenarError as e:
        return dict(failed=True, msg='%s: %s' % (describe_link(printer), e.msg), changed=False,
                    error=dict(kind=e.kind, message=e.msg, detail=e.stderr.strip(), field=''),
                    rc=e.rc, diff=dict(before={}, after={}))
    out = summarize_apply(doc, check)
    if not doc['ok']:
        out.update(failed=True, msg=failure_message(doc, printer), rc=doc['exit_code'])
    return out


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(),
        mutually_exclusive=[('profile', 'src'), LINK_KINDS + ('printers',),
                            ('device', 'printers')],
        required_one_of=[('profile', 'src'), LINK_KINDS + ('printers',)],
        supports_check_mode=True,
    )
    p = module.params
    cli = PlenarCli(module, p['plenar_path'], p['state_dir'])
    if p['src']:
        profile_path = os.path.abspath(p['src'])
    else:
        try:
            profile_path = cli.write_profile(profile_sections(p['profile']))
        except ValueError as e:
            module.fail_json(msg=str(e))

    try:
        if not p['printers']:
            printer = dict((k, p[k]) for k in link_options())
            printer['device'] = p['device']
            results = [apply_one(module, cli, profile_path, printer)]
        else:
            results = []
            for printer in p['printers']:
                result = apply_one(module, cli, profile_path, printer)
                result['name'] = printer['name'] or describe_link(printer)
                result['failed'] = result.get('failed', False)
                if result['failed'] and printer['name']:
                    result['msg'] = '%s: %s' % (printer['name'], result['msg'])
                results.append(result)
    finally:
        cli.remove_profiles()

    if not p['printers']:
        result = results[0]
        if result.pop('failed', False):
            module.fail_json(**result)
        module.exit_json(**result)

    changed = any(r['changed'] for r in results)
    diff = dict(before=dict((r['name'], r['diff']['before']) for r in results if r['changed']),
                after=dict((r['name'], r['diff']['after']) for r in results if r['changed']))
    failed = [r for r in results if r['failed']]
    if failed:
        module.fail_json(msg='%d of %d printers failed: %s' % (
            len(failed), len(results), '; '.join(r['msg'] for r in failed)),
            changed=changed, printers=results, diff=diff,
            error=dict(kind=failed[0]['error']['kind'], message=failed[0]['msg'], detail='',
                       field=failed[0]['name']))
    module.exit_json(changed=changed, printers=results, diff=diff, error=None)


if __name__ == '__main__':
    main()
