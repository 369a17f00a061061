// SPDX-License-Identifier: MIT
// The platform calls the bash scripts need, one per run:
//   --health URL           is URL answering? (doctor)
//   --revoke --env-file F  revoke the pairing whose relay token F holds (unpair, uninstall)
// Prints one line; exits 0 on success. The relay token never appears in what it prints.
import platform from '../lib/platform.cjs';

const { readEnvFile, joinUrl, platformRequest } = platform;

class Failure extends Error {}

async function health(url) {
  const answer = await platformRequest('GET', url, { timeoutMs: 5000 });
  if (answer.status < 200 || answer.status >= 300) throw new Failure(`${url} answered HTTP ${answer.status}`);
  return `reachable: ${url} (HTTP ${answer.status})`;
}

async function revoke(envFile) {
  const env = readEnvFile(envFile);
  const token = (env.RELAY_TOKEN || '').trim();
  const base = (env.PLATFORM_BASE_URL || env.PLATFORM_API_BASE_URL || '').trim();
  if (!token) return 'no relay token to revoke';
  if (!base) throw new Failure(`cannot revoke the pairing: no PLATFORM_BASE_URL in ${envFile}`);
  const answer = await platformRequest('POST', joinUrl(base, '/v1/desktop/pairing/revoke'), { token, body: {} });
  if (answer.status === 200) return `pairing revoked at ${base}`;
  // Already gone there: nothing left to revoke, which is what was asked.
  if (answer.status === 401) return `the platform at ${base} no longer knew this pairing`;
  throw new Failure(`the platform at ${base} refused to revoke the pairing: HTTP ${answer.status}`);
}

const args = process.argv.slice(2).filter((arg) => arg !== '--');
try {
  if (args[0] === '--health' && args.length === 2) {
    console.log(await health(args[1]));
  } else if (args[0] === '--revoke' && args[1] === '--env-file' && args.length === 3) {
    console.log(await revoke(args[2]));
  } else {
    throw new Failure('usage: platform-call.mjs --health URL | --revoke --env-file PATH');
  }
} catch (error) {
  console.error(error instanceof Failure ? error.message : `cannot reach the platform: ${error.message}`);
  process.exitCode = 1;
}
