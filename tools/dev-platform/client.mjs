// SPDX-License-Identifier: MIT
// The call the demo and the end-to-end test make besides Skerrin's own:
//   confirm BASE_URL SETUP_CODE         confirm a setup code as the demo phone
import platform from '../reference-runtime/lib/platform.cjs';

const { joinUrl, platformRequest } = platform;
async function confirm(baseUrl, code) {
  const answer = await platformRequest('POST', joinUrl(baseUrl, '/v1/phone/pairing/confirm'), { body: { setup_code: code } });
  if (answer.status !== 200) throw new Error(`the platform refused the confirmation: ${answer.body?.error ?? `HTTP ${answer.status}`}`);
  console.log(`phone confirmed ${code} for ${answer.body.installation_name} • ${answer.body.workspace}`);
}

const [command, ...args] = process.argv.slice(2);
const commands = { confirm: [confirm, 2] };
try {
  const [run, arity] = commands[command] ?? [];
  if (!run || args.length !== arity) throw new Error('usage: client.mjs confirm BASE_URL CODE');
  await run(...args);
} catch (error) {
  console.error(`client: ${error.message}`);
  process.exitCode = 1;
}
