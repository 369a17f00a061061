// SPDX-License-Identifier: MIT
// The web "phone": what the phone app would show after scanning a desktop's QR code.

// Who confirms when a person presses the button, and the defaults of the JSON call.
export const DEMO_PHONE = {
  device_name: 'Demo Phone',
  platform: 'iOS',
  device_model: 'iPhone15,2',
  app_version: '2.1.0',
  app_build: '210',
};

const escapeHtml = (text) =>
  String(text).replace(/[&<>"']/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' })[c]);

function pendingRow(pairing, scanned) {
  const code = escapeHtml(pairing.code);
  const seconds = Math.max(0, Math.round((pairing.expiresAt - Date.now()) / 1000));
  return `<li${scanned ? ' class="scanned"' : ''}>
  <form method="post" action="/phone/confirm">
    <input type="hidden" name="setup_code" value="${code}">
    <div><strong class="code">${code}</strong>${scanned ? ' <em>(scanned)</em>' : ''}</div>
    <div>${escapeHtml(pairing.installationName)} • ${escapeHtml(pairing.workspace)} • expires in ${seconds} s</div>
    <button type="submit">Confirm pairing</button>
  </form>
</li>`;
}

function pairedRow({ pairing, session }) {
  return `<li>${escapeHtml(pairing.installation_name)} • ${escapeHtml(pairing.workspace)} — paired ${escapeHtml(pairing.paired_at)}, last seen ${escapeHtml(pairing.last_seen_at ?? 'never')} — phone ${escapeHtml(session.device_name)}</li>`;
}

export function phonePage(platform, query, error = null) {
  const scannedCode = (query.get('code') || '').toUpperCase();
  const confirmed = query.get('confirmed');
  const pending = platform.pending();
  const paired = [...platform.installations.values()];
  const phone = `${DEMO_PHONE.device_name} • ${DEMO_PHONE.platform} • ${DEMO_PHONE.app_version}`;
  return `<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta http-equiv="refresh" content="5">
<title>Brevant phone (development platform)</title>
<style>
  body { font-family: system-ui, sans-serif; max-width: 32rem; margin: 2rem auto; padding: 0 1rem; color: #1d1d1f; }
  li { margin: 0.75rem 0; padding: 0.75rem; border: 1px solid #d2d2d7; border-radius: 0.75rem; list-style: none; }
  ul { padding: 0; }
  li.scanned { border-color: #0071e3; }
  .code { font-family: ui-monospace, monospace; font-size: 1.4rem; letter-spacing: 0.1em; }
  button { margin-top: 0.5rem; padding: 0.5rem 1rem; border-radius: 0.5rem; border: 0; background: #0071e3; color: white; font-size: 1rem; }
  .note { color: #6e6e73; font-size: 0.9rem; }
  .error { color: #b00020; } .ok { color: #1b7f3b; }
</style>
</head>
<body>
<h1>Brevant phone</h1>
<p class="note">Development platform. Confirming here does what the phone app does after scanning the desktop's QR code, as <strong>${escapeHtml(phone)}</strong>.</p>
${error ? `<p class="error">${escapeHtml(error)}</p>` : ''}${confirmed ? `<p class="ok">Confirmed ${escapeHtml(confirmed)}. The desktop finishes pairing on its side.</p>` : ''}
<h2>Waiting for confirmation</h2>
${pending.length ? `<ul>${pending.map((p) => pendingRow(p, p.code === scannedCode)).join('\n')}</ul>` : '<p class="note">No setup code is waiting. Start pairing on the desktop.</p>'}
<h2>Paired desktops</h2>
${paired.length ? `<ul>${paired.map(pairedRow).join('\n')}</ul>` : '<p class="note">None yet.</p>'}
</body>
</html>
`;
}
