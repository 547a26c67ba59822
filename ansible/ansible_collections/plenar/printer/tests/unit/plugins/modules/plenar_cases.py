# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: (c) 2026, Plenar developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

"""Runs a module against YAML cases with plenar's runs mocked.

A case:

    id: a name
    input: the module's arguments
    flags: {check: true, diff: true}
    calls:                  # every run of plenar the module must make, in order
      - argv: [...]         # '{profile}' stands for the profile file the module wrote
        profile: |          # that file's text when plenar runs (optional)
        rc: 0
        doc: {...}          # the document plenar prints; or `out: text`
        err: ''
    output: {...}           # what the result must hold (dicts and lists compared by the
                            # keys and items given)
    msg_has: [...]          # texts the result's msg must hold
    absent: [...]           # texts that must not appear anywhere in the result

'{tmp}' anywhere in a case stands for the test's temporary folder.

Whatever a case says, in check mode no `apply` may run without --check.
"""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import json
import os

import pytest
import yaml

from ansible.module_utils import basic
from ansible_collections.plenar.printer.plugins.module_utils import plenar_cli
from ansible.module_utils.common.text.converters import to_bytes

PLENAR = '/usr/bin/plenar'


def load_cases(test_file):
    with open(os.path.splitext(test_file)[0] + '.yaml', encoding='utf-8') as f:
        return yaml.safe_load(f)['cases']


def matches(expected, actual, where='result'):
    """Asserts that `actual` holds what `expected` gives."""
    if isinstance(expected, dict):
        assert isinstance(actual, dict), '%s: %r is not a dict' % (where, actual)
        for key, value in expected.items():
            assert key in actual, '%s: no %s in %r' % (where, key, sorted(actual))
            matches(value, actual[key], '%s.%s' % (where, key))
    elif isinstance(expected, list):
        assert isinstance(actual, list) and len(actual) == len(expected), \
            '%s: %r is not %d items long' % (where, actual, len(expected))
        for i, (e, a) in enumerate(zip(expected, actual)):
            matches(e, a, '%s[%d]' % (where, i))
    else:
        assert actual == expected, '%s: %r, expected %r' % (where, actual, expected)


class FakePlenar(object):
    """run_command for the module: checks each command line against the next expected call."""

    def __init__(self, calls, check_mode):
        self.calls = list(calls)
        self.check_mode = check_mode
        self.seen = []

    def __call__(self, module, args, check_rc=False, **kwargs):
        argv = list(args)
        self.seen.append(argv)
        if self.check_mode and 'apply' in argv:
            assert '--check' in argv, 'check mode ran %r' % argv
        assert self.calls, 'unexpected run %r' % argv
        call = self.calls.pop(0)
        profile = None
        expected = []
        for arg, want in zip(argv, call['argv']):
            if want == '{profile}':
                profile = arg
                expected.append(arg)
            else:
                expected.append(want)
        assert argv == expected + call['argv'][len(expected):], \
            'ran %r, expected %r' % (argv, call['argv'])
        if 'profile' in call:
            with open(profile, encoding='utf-8') as f:
                assert f.read() == call['profile']
            assert os.stat(profile).st_mode & 0o077 == 0, 'the profile is readable by others'
        out = call.get('out')
        if out is None:
            out = json.dumps(call['doc'])
        return call.get('rc', 0), out, call.get('err', '')


def run_case(module_main, case, tmp_path, capsys, monkeypatch):
    case = json.loads(json.dumps(case).replace('{tmp}', str(tmp_path)))
    flags = case.get('flags') or {}
    args = dict(case.get('input') or {})
    args.update(_ansible_check_mode=bool(flags.get('check')),
                _ansible_diff=bool(flags.get('diff')),
                _ansible_tmpdir=str(tmp_path))
    monkeypatch.setattr(basic, '_ANSIBLE_ARGS', to_bytes(json.dumps({'ANSIBLE_MODULE_ARGS': args})))
    monkeypatch.setattr(basic, '_ANSIBLE_PROFILE', 'legacy', raising=False)
    fake = FakePlenar(case.get('calls') or [], flags.get('check'))

    def run_command(module, args, **kwargs):
        return fake(module, args, **kwargs)

    monkeypatch.setattr(basic.AnsibleModule, 'run_command', run_command)
    monkeypatch.setattr(basic.AnsibleModule, 'get_bin_path', lambda *a, **k: PLENAR)
    monkeypatch.setattr(plenar_cli, 'runnable', lambda path: path == PLENAR)
    with pytest.raises(SystemExit):
        module_main()
    out = capsys.readouterr().out
    result = json.loads(out)
    assert not fake.calls, 'runs left out: %r (ran %r)' % (fake.calls, fake.seen)
    matches(case.get('output') or {}, result)
    for text in case.get('msg_has') or []:
        assert text in result.get('msg', ''), '%r is not in the message %r' % (text, result.get('msg'))
    for text in case.get('absent') or []:
        assert text not in out, '%r is in the result' % text
    # The profile files the module wrote are gone with the run.
    assert not [n for n in os.listdir(str(tmp_path)) if n.endswith('.ini')]
    return result
