#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

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
    the same profile sends no settings (only the identify request of I(verify)) and reports
    C(changed=false).
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
      - The options of each group sent, as the task names them, before (from the record)
        and after. A password shows as C((changed)) or C((unchanged)), never its value.
options:
  profile:
    description:
      - The settings, one key per settings group. A group that is left out is not managed
        (the printer keeps whatever it has).
      - The module writes them as a profile file in a private temporary folder.
      - Results and the diff name each value by its option (C(bluetooth.password_check)) and
        a refused value by its path (C(profile.bluetooth.mode)).
    type: dict
    suboptions: &profile_options
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
            description:
              - The printer's print port (2..65535), where it takes print jobs (9100 by default).
              - It is not the UDP port plenar talks to the printer over; changing it never moves
                the link.
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
  verify:
    description:
      - Identify the printer on the link before the record decides what to send
        (C(plenar apply --verify)), so that a printer that does not answer fails instead of
        reporting C(ok) from its record alone, and a printer of another model than the
        record's is not taken for the recorded one. Costs one identify request per run.
      - Check mode sends nothing and never verifies.
    type: bool
    default: true
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
      profile:
        description:
          - Settings of this printer alone, merged over the task's I(profile). A group given
            here replaces the task's values of that group key by key; the other groups are
            the task's.
          - With I(src), its values go over the profile file's (C(plenar apply --set)). A
            password never goes on plenar's command line, so then the groups that hold one
            (I(bluetooth), I(wifi_ap), I(wifi_sta)) and I(files) are refused; give them in the
            profile file.
        type: dict
        suboptions: *profile_options
notes:
  - The printer's failure kinds (C(error.kind)) come from plenar; a port held by another
    program fails with C(busy), a port the user may not open with C(permission).
  - Passwords go to the printer only through the profile file, which is private to the module
    run and removed with it. Results and the diff say whether a password changed,
    C((changed)) or C((unchanged)); no value, masked value or hash of it is returned.
  - A profile that sets nothing fails rather than managing nothing.
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
      - {name: till-1, usb: VID_1234&PID_811E&SN_PLENAR0001}
      # The kitchen printer prints on labels, without the buzzer.
      - name: kitchen
        net: 192.168.1.88
        profile:
          paper_type: label
          switches: {font: 12x24, density: normal, buzzer: false, cutter: true}
    profile:
      codepage: CP437
      paper_type: receipt
      switches: {font: 12x24, density: normal, buzzer: true, cutter: true}
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
    - Every group of the profile in the order it is sent, named by the option it sets
      (C(group), for example C(switches), C(ethernet.ip), C(device)), with its C(status)
      (C(done), C(skipped) because the record matches, C(failed), C(not-run)), its C(values)
      and the C(previous) values from the record, named as the task names them (the profile
      file's keys with I(src), but for the device's and those a printer's I(profile) sets over
      the file), and its hash (not for a group with a password).
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
      values: {codepage: CP850}
      previous: {codepage: CP437}
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
  description:
    - Options that set nothing (C(key), as the task names it; the file's key with I(src)),
      with the reason.
  returned: when one printer is given
  type: list
  elements: dict
notes:
  description: What plenar noticed on the way (a record of another link, the printer found on its recorded link).
  returned: when one printer is given
  type: list
  elements: str
link_redirected:
  description:
    - Whether the printer was found on the link its record names (a rate or address an
      earlier apply set) rather than the one given; the message says so too.
  returned: when one printer is given
  type: bool
diff:
  description:
    - The options of each group sent, as the task names them, before (from the record, when
      there was one) and after; with I(printers), by printer name.
    - A password shows as C((changed)) or C((unchanged)).
  returned: always
  type: dict
  sample:
    before: {bluetooth: {name: shop, mode: single, password_check: false}}
    after: {bluetooth: {name: shop, mode: single, password_check: true, password: (unchanged)}}
error:
  description:
    - Why it failed, C(null) on success. C(kind) is one of C(link), C(printer), C(refused),
      C(usage), C(busy), C(permission), C(file), or C(output) when plenar printed no result.
    - C(field) is the option a refusal or failure concerns (C(profile.bluetooth.mode)); with
      I(printers), C(printer) names the printer.
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
    LINK_KINDS, PlenarCli, PlenarError, apply_arguments, describe_link, link_options,
    program_options, summarize_apply)
from ansible_collections.plenar.printer.plugins.module_utils.plenar_options import (
    PROFILE_RULES, command_line_settings, merge_profiles, profile_sections, profile_spec)


def device_spec():
    return dict(type='dict', options=dict(
        name=dict(type='str', required=True),
        serial_no=dict(type='str', required=True),
    ))


def argument_spec():
    profile = dict(type='dict', options=profile_spec(), **PROFILE_RULES)
    printer = dict(name=dict(type='str'), device=device_spec(), profile=profile)
    printer.update(link_options())
    spec = dict(
        profile=dict(type='dict', options=profile_spec(), **PROFILE_RULES),
        src=dict(type='path'),
        device=device_spec(),
        force=dict(type='bool', default=False),
        verify=dict(type='bool', default=True),
        printers=dict(type='list', elements='dict', options=printer,
                      mutually_exclusive=[LINK_KINDS], required_one_of=[LINK_KINDS]),
    )
    spec.update(link_options())
    spec.update(program_options())
    return spec


def sets_something(sections):
    return any(entries for section, entries in sections)


class ProfileFiles(object):
    """The profile file of each distinct profile of the run, written once."""

    def __init__(self, module, cli):
        self.module = module
        self.cli = cli
        self.paths = {}

    def path(self, profile, printer_name=None):
        """The file of `profile`; fails the module when it sets nothing or holds a value a
        profile file cannot."""
        where = 'printers[%s].profile' % printer_name if printer_name else 'profile'
        try:
            sections = profile_sections(profile)
        except ValueError as e:
            self.module.fail_json(msg='%s: %s' % (where, e))
        if not sets_something(sections):
            self.module.fail_json(
                msg='%s: sets nothing; give at least one settings group (or src)' % where)
        marker = repr(sections)
        if marker not in self.paths:
            try:
                self.paths[marker] = self.cli.write_profile(sections)
            except ValueError as e:
                self.module.fail_json(msg='%s: %s' % (where, e))
        return self.paths[marker]


def apply_one(module, cli, profile_path, printer, translate, settings=()):
    """Applies a profile to one printer (with `settings` over the file's values): its
    summary, with `failed` and `msg` on failure. The values the task set over a src file are
    named in the task's words, as are all of a profile the module wrote."""
    check = module.check_mode
    if translate is not True:
        translate = frozenset(key for key, text in settings)
    args = apply_arguments(profile_path, check=check, force=module.params['force'],
                           device=printer.get('device'), record_dir=module.params['record_dir'],
                           verify=module.params['verify'], settings=settings)
    try:
        doc = cli.run(args, printer)
    except PlenarError as e:
        return dict(failed=True, msg='%s: %s' % (describe_link(printer), e.msg), changed=False,
                    error=dict(kind=e.kind, message=e.msg, detail=e.stderr.strip(), field=''),
                    rc=e.rc, diff=dict(before={}, after={}))
    out = summarize_apply(doc, check, translate)
    if not doc['ok']:
        # Loaded only now: a run that went well does without it.
        from ansible_collections.plenar.printer.plugins.module_utils.plenar_failures import (
            failure_message)
        out.update(failed=True, msg=failure_message(doc, printer, translate),
                   rc=doc['exit_code'])
    elif out['link_redirected']:
        out['msg'] = '%s: found on the link of its record, not the one given' % (
            describe_link(printer))
    return out


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(),
        mutually_exclusive=[('profile', 'src'), LINK_KINDS + ('printers',),
                            ('device', 'printers')],
        required_one_of=[('profile', 'src', 'printers'), LINK_KINDS + ('printers',)],
        supports_check_mode=True,
    )
    p = module.params
    cli = PlenarCli(module, p['plenar_path'], p['state_dir'])
    files = ProfileFiles(module, cli)
    translate = not p['src']
    if not p['printers']:
        printer = dict((k, p[k]) for k in link_options())
        printer['device'] = p['device']
        path = os.path.abspath(p['src']) if p['src'] else files.path(p['profile'])
        work = [(printer, path, ())]
    else:
        work = []
        for number, printer in enumerate(p['printers']):
            name = printer['name'] or describe_link(printer)
            settings = ()
            if p['src']:
                path = os.path.abspath(p['src'])
                try:
                    settings = command_line_settings(printer['profile'])
                except ValueError as e:
                    module.fail_json(msg='printers[%s].profile.%s' % (name, e))
            elif not printer['profile'] and not p['profile']:
                module.fail_json(msg='printers[%s]: no profile; give the task a profile or '
                                     'src, or the printer a profile' % name)
            else:
                path = files.path(merge_profiles(p['profile'], printer['profile']), name)
            work.append((printer, path, settings))

    try:
        results = []
        for printer, path, settings in work:
            result = apply_one(module, cli, path, printer, translate, settings)
            if p['printers']:
                result['name'] = printer['name'] or describe_link(printer)
                result['failed'] = result.get('failed', False)
                if result['failed']:
                    result['error']['printer'] = result['name']
                    if printer['name']:
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
    redirected = [r['name'] for r in results if r.get('link_redirected')]
    if failed:
        first = failed[0]['error']
        module.fail_json(msg='%d of %d printers failed: %s' % (
            len(failed), len(results), '; '.join(r['msg'] for r in failed)),
            changed=changed, printers=results, diff=diff,
            error=dict(kind=first['kind'], message=failed[0]['msg'], detail='',
                       field=first.get('field', ''), printer=failed[0]['name']))
    out = dict(changed=changed, printers=results, diff=diff, error=None)
    if redirected:
        out['msg'] = 'found on the link of their record, not the one given: %s' % (
            ', '.join(redirected))
    module.exit_json(**out)


if __name__ == '__main__':
    main()
