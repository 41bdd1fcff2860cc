// Compiled by tsc --noEmit only: the declarations must describe how a page
// uses the client.
import { connect, ScanBridge, ScanBridgeError, type DeviceOption } from "../scanbridge.js";

async function example(): Promise<void> {
  const bridge: ScanBridge = await connect("ws://127.0.0.1:38999/", { timeout: 5000 });
  bridge.addEventListener("device_arrive", (event) => console.log(event.detail.device_name));
  await bridge.initDevice();
  const names: string[] = (await bridge.getDeviceNameList()).device_name_list;
  await bridge.openDevice({ device_name: names[0] });
  const groups = (await bridge.getDeviceParam()).device_param;
  const first: DeviceOption = groups[0].group_param[0];
  await bridge.setDeviceParam({ device_param: [{ name: first.name, value: first.value }] });
  for await (const page of bridge.scan({ get_base64: true })) {
    const picture: string | undefined = page.image_base64;
    console.log(picture?.length);
  }
  try {
    await bridge.loadImage({ image_index: 99 });
  } catch (error) {
    if (error instanceof ScanBridgeError) console.log(error.ret, error.err_info, error.err_detail);
  }
  bridge.close();
}
void example;
