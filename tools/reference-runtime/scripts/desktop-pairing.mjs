// SPDX-License-Identifier: MIT
// Pairs this desktop with the phone app in two steps:
//   --start  asks the platform for a setup code; leaves the session file and its QR image
//   --wait   waits for the phone's confirmation, then stores the relay settings in the env file
// Usage: node desktop-pairing.mjs -- --start|--wait --platform-base-url URL --env-file PATH
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { setTimeout as sleep } from 'node:timers/promises';
import platform from '../lib/platform.cjs';

const { readEnvFile, updateEnvFile, joinUrl, platformRequest } = platform;

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const sessionFile = path.join(root, 'state/pairing/desktop_pairing_session.json');
const qrFile = path.join(root, 'state/relay_setup/relay_setup_qr_v2.png');
const POLL_INTERVAL_MS = 1000;
// Even a platform that hands out long-lived codes never keeps a wait going past this.
const MAX_WAIT_MS = 30 * 60 * 1000;

class Failure extends Error {}

function parseArguments(argv) {
  const options = { mode: null, baseUrl: null, envFile: process.env.CONFIG_ENV_FILE || null };
  const args = argv[0] === '--' ? argv.slice(1) : argv;
  for (let i = 0; i < args.length; i++) {
    const arg = args[i];
    if (arg === '--start' || arg === '--wait') options.mode = arg.slice(2);
    else if (arg === '--platform-base-url' && i + 1 < args.length) options.baseUrl = args[++i].trim();
    else if (arg === '--env-file' && i + 1 < args.length) options.envFile = args[++i];
    else throw new Failure(`unknown argument: ${arg}`);
  }
  if (!options.mode || !options.baseUrl || !options.envFile) {
    throw new Failure('usage: desktop-pairing.mjs -- --start|--wait --platform-base-url URL --env-file PATH');
  }
  return options;
}

function describe(answer) {
  return answer.body?.error ?? `HTTP ${answer.status}`;
}

// Internet date-time without fractional seconds, which is what the desktop app accepts.
function internetDateTime(value) {
  return new Date(value).toISOString().replace(/\.\d{3}Z$/, 'Z');
}

function removePairingFiles() {
  fs.rmSync(sessionFile, { force: true });
  fs.rmSync(qrFile, { force: true });
}

async function start({ baseUrl, envFile }) {
  const env = readEnvFile(envFile);
  const answer = await platformRequest('POST', joinUrl(baseUrl, '/v1/desktop/pairing/codes'), {
    body: {
      installation_name: os.hostname(),
      platform: `${os.platform()}-${os.arch()}`,
      workspace: env.CONNECTOR_WORKSPACE || 'main',
    },
  });
  const { setup_code: code, expires_at: expiresAt, wait_key: waitKey, pairing_url: pairingUrl } = answer.body ?? {};
  if (answer.status !== 201 || !code || !expiresAt || !waitKey) {
    throw new Failure(`the platform refused a setup code: ${describe(answer)}`);
  }
  fs.mkdirSync(path.dirname(sessionFile), { recursive: true });
  fs.mkdirSync(path.dirname(qrFile), { recursive: true });
  const qrPayload = pairingUrl || code;
  try {
    execFileSync('qrencode', ['-t', 'PNG', '-s', '8', '-m', '2', '-o', qrFile, qrPayload], { stdio: ['ignore', 'ignore', 'pipe'] });
  } catch (error) {
    throw new Failure(`could not draw the QR code with qrencode: ${error.code === 'ENOENT' ? 'qrencode is not installed' : error.message}`);
  }
  const session = {
    setup_code: code,
    expires_at: internetDateTime(expiresAt),
    pairing_url: qrPayload,
    platform_base_url: baseUrl,
    wait_key: waitKey,
  };
  fs.writeFileSync(sessionFile, `${JSON.stringify(session, null, 2)}\n`, { mode: 0o600 });
  console.log(`setup code ${code} (valid until ${session.expires_at}); confirm it in the phone app`);
}

function readSession() {
  try {
    const session = JSON.parse(fs.readFileSync(sessionFile, 'utf8'));
    if (typeof session.setup_code === 'string' && typeof session.wait_key === 'string') return session;
  } catch {
    // Missing or damaged: same answer as no pairing at all.
  }
  throw new Failure('no pending pairing: run the start step first');
}

async function wait({ baseUrl, envFile }) {
  const session = readSession();
  const code = session.setup_code;
  const expiry = Date.parse(session.expires_at);
  const deadline = Math.min(Number.isNaN(expiry) ? Infinity : expiry, Date.now() + MAX_WAIT_MS);
  const url = joinUrl(baseUrl, `/v1/desktop/pairing/codes/${encodeURIComponent(code)}`);
  for (;;) {
    let answer = null;
    try {
      answer = await platformRequest('GET', url, { token: session.wait_key });
    } catch (error) {
      // A platform that blinks must not end a wait that still has time left.
      if (Date.now() >= deadline) throw new Failure(`pairing failed: ${error.message}`);
    }
    if (answer?.status === 200 && answer.body?.status === 'confirmed') {
      const { relay_token: token, workspace, relay_base_url: relayBaseUrl } = answer.body;
      if (!token || !workspace || !relayBaseUrl) throw new Failure('pairing failed: the platform sent an incomplete confirmation');
      fs.mkdirSync(path.dirname(envFile), { recursive: true });
      updateEnvFile(envFile, {
        RELAY_TOKEN: token,
        CONNECTOR_WORKSPACE: workspace,
        PLATFORM_BASE_URL: baseUrl,
        RELAY_BASE_URL: relayBaseUrl,
      });
      removePairingFiles();
      const phone = answer.body.device_name ? ` with ${answer.body.device_name}` : '';
      console.log(`paired${phone}: workspace ${workspace}, relay settings saved to ${envFile}`);
      return;
    }
    if (answer?.status === 410) {
      removePairingFiles();
      throw new Failure(`pairing failed: setup code ${code} expired; start pairing again`);
    }
    if (answer && answer.status !== 200) throw new Failure(`pairing failed: ${describe(answer)}`);
    if (Date.now() >= deadline) {
      removePairingFiles();
      throw new Failure(`pairing failed: setup code ${code} expired before the phone confirmed it; start pairing again`);
    }
    await sleep(Math.max(0, Math.min(POLL_INTERVAL_MS, deadline - Date.now())));
  }
}

try {
  const options = parseArguments(process.argv.slice(2));
  await (options.mode === 'start' ? start(options) : wait(options));
} catch (error) {
  console.error(error instanceof Failure ? error.message : `pairing failed: ${error.message}`);
  process.exitCode = 1;
}
